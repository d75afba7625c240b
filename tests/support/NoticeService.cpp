#include "tests/support/NoticeService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

namespace pulo::test {

TNoticeService::~TNoticeService()
{
    StopService();
}

QString TNoticeService::StartBus()
{
    return Private.Start();
}

bool TNoticeService::StartService(const QString& capabilities)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), Private.Address());
    Service.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("-m"),         QStringLiteral("dbusmock"),
                          QStringLiteral("--template"), QStringLiteral("notification_daemon"),
                          QStringLiteral("-l"),         Log()};
    if (!capabilities.isEmpty())
        arguments << QStringLiteral("-p") << QStringLiteral("{\"capabilities\": \"%1\"}").arg(capabilities);
    Service.start(QStringLiteral("/usr/bin/python3"), arguments);
    return Service.waitForStarted() &&
           QTest::qWaitFor(
               [&] { return Bus().interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")); },
               10000);
}

void TNoticeService::StopService()
{
    Service.kill();
    Service.waitForFinished();
}

QStringList TNoticeService::Calls() const
{
    QFile file(Log());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList calls;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.contains(" Notify "))
            calls << QString::fromUtf8(line.mid(line.indexOf(" Notify ") + 8));
    return calls;
}

bool TNoticeService::WaitForCalls(int count) const
{
    return QTest::qWaitFor([&] { return Calls().size() >= count; }, 10000);
}

bool TNoticeService::PressAction(unsigned id, const QString& key)
{
    QDBusMessage press = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"));
    press << QStringLiteral("org.freedesktop.Notifications") << QStringLiteral("ActionInvoked") << QStringLiteral("us")
          << QVariantList{QVariant::fromValue(QDBusVariant(id)), QVariant::fromValue(QDBusVariant(key))};
    return Bus().call(press).type() == QDBusMessage::ReplyMessage;
}

} // namespace pulo::test
