#pragma once

// A desktop's notification service for tests: a D-Bus daemon on a private bus, with
// python3-dbusmock's notification daemon standing in for the desktop's, whose calls are logged.

#include "tests/support/PrivateBus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace pulo::test {

class TNoticeService final
{
public:
    TNoticeService() = default;
    ~TNoticeService();
    TNoticeService(const TNoticeService&) = delete;
    TNoticeService& operator=(const TNoticeService&) = delete;

    // Starts the bus; empty when it runs, else why a test should be skipped.
    [[nodiscard]] QString StartBus();
    // Starts the notification daemon, with the capabilities it says it has ("body actions");
    // false when python3-dbusmock is not there.
    [[nodiscard]] bool StartService(const QString& capabilities = {});
    void StopService();
    [[nodiscard]] QDBusConnection& Bus() { return Private.Connection(); }
    // The Notify calls so far, each as the service logged its arguments.
    [[nodiscard]] QStringList Calls() const;
    [[nodiscard]] bool WaitForCalls(int count) const;
    [[nodiscard]] QString Log() const { return Folder.filePath(QStringLiteral("calls.log")); }
    // The desktop says the user pressed the action of that key on the notification of that id.
    [[nodiscard]] bool PressAction(unsigned id, const QString& key);

private:
    TPrivateBus Private{QStringLiteral("notices")};
    QProcess Service;
    QTemporaryDir Folder;
};

} // namespace pulo::test
