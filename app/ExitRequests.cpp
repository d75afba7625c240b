#include "app/ExitRequests.h"

#include "app/Unit1.h"
#include "common/ErrorBoundary.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

namespace pulo {

void EndLikeExit(QApplication& application, TForm1& form, int signalDescriptor, std::function<void(int)> drain)
{
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { RunGuarded([&form] { form.Exit1Click(); }); });
    if (signalDescriptor < 0)
        return;
    auto* notifier = new QSocketNotifier(signalDescriptor, QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form, signalDescriptor, drain] {
        drain(signalDescriptor);
        RunGuarded([&form] { form.Exit1Click(); });
    });
}

} // namespace pulo
