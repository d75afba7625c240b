#include "tests/support/NmService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QTest>

namespace pulo::test {

namespace {

const QString NetworkManager = QStringLiteral("org.freedesktop.NetworkManager");

} // namespace

TNmService::TNmService() = default;

TNmService::~TNmService()
{
    StopService();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "disabled:");
}

QString TNmService::StartBus()
{
    if (QString why = Private.Start(); !why.isEmpty())
        return why;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", Private.Address().toLocal8Bit());
    return {};
}

bool TNmService::StartService()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), Private.Address());
    Service.setProcessEnvironment(environment);
    Service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Service.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                   QStringLiteral(NM_TEMPLATE), QStringLiteral("-l"), Folder.filePath(QStringLiteral("calls.log"))});
    return Service.waitForStarted() &&
           QTest::qWaitFor([&] { return Private.Connection().interface()->isServiceRegistered(NetworkManager); },
                           10000);
}

void TNmService::StopService()
{
    Service.kill();
    Service.waitForFinished();
}

QString TNmService::Mock(const char* method, const QVariantList& arguments)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(NetworkManager, QStringLiteral("/org/freedesktop"),
                                       QStringLiteral("org.freedesktop.DBus.Mock"), QString::fromLatin1(method));
    call.setArguments(arguments);
    const QDBusMessage reply = Private.Connection().call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("error: ") + reply.errorMessage();
    return reply.arguments().value(0).toString();
}

int TNmService::CallCount(const char* method) const
{
    QFile file(Folder.filePath(QStringLiteral("calls.log")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    const QByteArray all = file.readAll();
    for (const QByteArray& line : all.split('\n'))
        count += line.contains(QByteArray(" ") + method + ' ') && !line.contains(" raised: ") ? 1 : 0;
    return count;
}

} // namespace pulo::test
