#pragma once

// NetworkManager for a test: a D-Bus daemon of the test's own standing in for the system bus
// (DBUS_SYSTEM_BUS_ADDRESS points at it while the object lives, so the program's client finds
// it), with python3-dbusmock's NetworkManager, extended by networkmanager_lines.py, on it.

#include "tests/support/PrivateBus.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

namespace pulo::test {

class TNmService final
{
public:
    TNmService();
    ~TNmService();
    TNmService(const TNmService&) = delete;
    TNmService& operator=(const TNmService&) = delete;

    // Starts the bus; empty, or why it could not (no dbus-daemon).
    [[nodiscard]] QString StartBus();
    // Starts NetworkManager on it and waits until it answers; false without python3-dbusmock.
    [[nodiscard]] bool StartService();
    // NetworkManager goes away, as when it is stopped.
    void StopService();
    // One of the mock's own methods (see networkmanager_lines.py); its text answer.
    QString Mock(const char* method, const QVariantList& arguments);
    // How often the service was asked to do this (e.g. "DeactivateConnection").
    [[nodiscard]] int CallCount(const char* method) const;

private:
    TPrivateBus Private{QStringLiteral("networkmanager")};
    QProcess Service;
    QTemporaryDir Folder;
};

} // namespace pulo::test
