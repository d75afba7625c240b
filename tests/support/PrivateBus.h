#pragma once

// A D-Bus daemon of a test's own, and the test's connection to it; both go with the object.

#include <QDBusConnection>
#include <QProcess>
#include <QString>

#include <memory>

namespace pulo::test {

class TPrivateBus final
{
public:
    // name: the test's connection's name (one per bus a test process holds at once).
    explicit TPrivateBus(QString name) : Name(std::move(name)) {}
    ~TPrivateBus();
    TPrivateBus(const TPrivateBus&) = delete;
    TPrivateBus& operator=(const TPrivateBus&) = delete;

    // Starts the daemon and connects to it; empty, or why it could not (no dbus-daemon).
    [[nodiscard]] QString Start();
    [[nodiscard]] const QString& Address() const { return BusAddress; }
    [[nodiscard]] QDBusConnection& Connection() { return *Bus; }

private:
    QString Name;
    QProcess Daemon;
    QString BusAddress;
    std::unique_ptr<QDBusConnection> Bus;
};

} // namespace pulo::test
