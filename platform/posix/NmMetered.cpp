#include "platform/posix/NmMetered.h"

#include "platform/posix/NmRead.h"
#include "platform/posix/NmRules.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

namespace win::posix::nm {

namespace {

using TSettings = QMap<QString, QVariantMap>;

constexpr int MarkTimeout = 1500; // milliseconds, each call
// The settings that may hold secrets: an update replaces them all, and the profile's settings are
// read without them, so they are read apart and sent back with the rest.
constexpr const char* SecretSettings[] = {
    "802-11-wireless-security", "802-1x", "gsm", "cdma", "pppoe", "vpn", "wireguard", "adsl"};
// Keeps the profile in the service's memory: its file on disk stays as it was.
constexpr unsigned UpdateInMemory = 0x2;

QDBusMessage Call(const QString& path, const char* interface, const char* method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(Service), path, QString::fromLatin1(interface),
                                          QString::fromLatin1(method));
}

DWORD ErrorOf(const QDBusMessage& reply)
{
    return RequestError(reply.errorName().toStdString());
}

} // namespace

DWORD SetProfileMetered(const QDBusConnection& bus, const std::string& uuid, int value, int& before)
{
    static const QMetaType registered = qDBusRegisterMetaType<TSettings>();
    (void)registered;
    QDBusMessage find = Call(QStringLiteral("/org/freedesktop/NetworkManager/Settings"),
                             "org.freedesktop.NetworkManager.Settings", "GetConnectionByUuid");
    find << QString::fromStdString(uuid);
    const QDBusMessage found = bus.call(find, QDBus::Block, MarkTimeout);
    if (found.type() != QDBusMessage::ReplyMessage)
        return found.errorName().endsWith(QLatin1String("InvalidConnection")) ||
                       found.errorName().endsWith(QLatin1String("DoesNotExist")) ||
                       found.errorMessage().contains(QLatin1String("no connection"), Qt::CaseInsensitive)
                   ? ERROR_NOT_FOUND
                   : ErrorOf(found);
    const QString path = found.arguments().value(0).value<QDBusObjectPath>().path();
    const QDBusMessage read = bus.call(Call(path, "org.freedesktop.NetworkManager.Settings.Connection", "GetSettings"),
                                       QDBus::Block, MarkTimeout);
    if (read.type() != QDBusMessage::ReplyMessage || !read.arguments().value(0).canConvert<QDBusArgument>())
        return ErrorOf(read);
    // The whole profile goes back as it came (an update replaces every setting), with the one
    // flag changed; values of composite types are passed on as they were read.
    TSettings settings = qdbus_cast<TSettings>(read.arguments().value(0));
    for (const char* name : SecretSettings) {
        const QString setting = QString::fromLatin1(name);
        if (!settings.contains(setting))
            continue;
        QDBusMessage ask = Call(path, "org.freedesktop.NetworkManager.Settings.Connection", "GetSecrets");
        ask << setting;
        const QDBusMessage secrets = bus.call(ask, QDBus::Block, MarkTimeout);
        if (secrets.type() != QDBusMessage::ReplyMessage || !secrets.arguments().value(0).canConvert<QDBusArgument>())
            continue; // none stored, or kept by an agent of the user's session, which keeps them
        const QVariantMap values = qdbus_cast<TSettings>(secrets.arguments().value(0)).value(setting);
        for (auto secret = values.begin(); secret != values.end(); ++secret)
            settings[setting].insert(secret.key(), secret.value());
    }
    QVariantMap& connection = settings[QStringLiteral("connection")];
    before = connection.value(QStringLiteral("metered"), 0).toInt();
    connection[QStringLiteral("metered")] = value;
    QDBusMessage update = Call(path, "org.freedesktop.NetworkManager.Settings.Connection", "Update2");
    update << QVariant::fromValue(settings) << QVariant::fromValue(UpdateInMemory) << QVariantMap();
    const QDBusMessage done = bus.call(update, QDBus::Block, MarkTimeout);
    return done.type() == QDBusMessage::ReplyMessage ? ERROR_SUCCESS : ErrorOf(done);
}

} // namespace win::posix::nm
