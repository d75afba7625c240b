#include "tests/support/PrivateBus.h"

namespace pulo::test {

TPrivateBus::~TPrivateBus()
{
    if (Bus)
        QDBusConnection::disconnectFromBus(Name);
    Bus.reset();
    Daemon.kill();
    Daemon.waitForFinished();
}

QString TPrivateBus::Start()
{
    Daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!Daemon.waitForStarted() || !Daemon.waitForReadyRead(5000))
        return QStringLiteral("dbus-daemon is not installed");
    BusAddress = QString::fromUtf8(Daemon.readLine().trimmed());
    Bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(BusAddress, Name));
    return Bus->isConnected() ? QString() : QStringLiteral("the test's bus cannot be reached");
}

} // namespace pulo::test
