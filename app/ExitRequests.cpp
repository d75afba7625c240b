#include "app/ExitRequests.h"

#include "app/Unit1.h"
#include "common/ErrorBoundary.h"

#include <QApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>

namespace pulo {

TExitRequests::TExitRequests(QApplication& application, int signalDescriptor, std::function<void(int)> drain)
{
    QObject::connect(&application, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { Request(); });
    if (signalDescriptor < 0)
        return;
    auto* notifier = new QSocketNotifier(signalDescriptor, QSocketNotifier::Read, this);
    QObject::connect(notifier, &QSocketNotifier::activated, this, [this, signalDescriptor, drain] {
        drain(signalDescriptor);
        Request();
    });
}

void TExitRequests::Attach(TForm1& form)
{
    Form = &form;
    if (Requested)
        QMetaObject::invokeMethod(
            this, [this] { Request(); }, Qt::QueuedConnection);
}

void TExitRequests::Request()
{
    SetErrorReporter([form = QPointer<TForm1>(Form)](const QString& message) {
        std::fprintf(stderr, "PuloPro: %s\n", message.toLocal8Bit().constData());
        if (form)
            form->NoticeProblem(message);
    });
    // A box that waits for an answer (start-up's, or one the user left open) gets none.
    if (QWidget* box = QApplication::activeModalWidget())
        box->close();
    if (Form != nullptr)
        RunGuarded([this] { Form->Exit1Click(); });
    else
        Requested = true; // the window is still being made
}

} // namespace pulo
