#include "platform/posix/NmRead.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QVariantMap>

#include <algorithm>

namespace win::posix::nm {

namespace {

const QString DeviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString ActiveInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString ProfileInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString SettingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString Ip4Interface = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");

using Interfaces = QMap<QString, QVariantMap>;

std::string Text(const QVariant& value)
{
    return value.toString().toStdString();
}

// An object path; empty for "/", which the service gives for none.
std::string PathOf(const QVariant& value)
{
    const QString path = value.value<QDBusObjectPath>().path();
    return path == QLatin1String("/") ? std::string() : path.toStdString();
}

std::vector<std::string> PathsOf(const QVariant& value)
{
    QList<QDBusObjectPath> paths;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> paths;
    else
        paths = value.value<QList<QDBusObjectPath>>();
    std::vector<std::string> result;
    for (const QDBusObjectPath& path : paths)
        result.push_back(path.path().toStdString());
    return result;
}

// The reason half of a device's "StateReason" (state, reason) pair.
std::uint32_t ReasonOf(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>())
        return 0;
    const QDBusArgument pair = value.value<QDBusArgument>();
    std::uint32_t state = 0;
    std::uint32_t reason = 0;
    pair.beginStructure();
    pair >> state >> reason;
    pair.endStructure();
    return reason;
}

// Whether an address record lists an IPv4 address ("AddressData", an array of dictionaries).
bool HasAddress(const QVariantMap& record)
{
    const QVariant data = record.value(QStringLiteral("AddressData"));
    if (!data.canConvert<QDBusArgument>())
        return false;
    const QDBusArgument array = data.value<QDBusArgument>();
    array.beginArray();
    bool any = false;
    while (!array.atEnd()) {
        QVariantMap address;
        array >> address;
        any = any || !address.value(QStringLiteral("address")).toString().isEmpty();
    }
    array.endArray();
    return any;
}

std::map<std::string, Interfaces> Demarshal(const QDBusArgument& top)
{
    std::map<std::string, Interfaces> objects;
    top.beginMap();
    while (!top.atEnd()) {
        QDBusObjectPath path;
        Interfaces interfaces;
        top.beginMapEntry();
        top >> path;
        top.beginMap();
        while (!top.atEnd()) {
            QString name;
            QVariantMap properties;
            top.beginMapEntry();
            top >> name >> properties;
            top.endMapEntry();
            interfaces.insert(name, properties);
        }
        top.endMap();
        top.endMapEntry();
        objects.emplace(path.path().toStdString(), std::move(interfaces));
    }
    top.endMap();
    return objects;
}

// The profile's name and type from its settings; false when they cannot be read.
bool ReadProfile(const QDBusConnection& bus, const std::string& path, Profile& profile)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(Service), QString::fromStdString(path),
                                                       ProfileInterface, QStringLiteral("GetSettings"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, ReadTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).canConvert<QDBusArgument>())
        return false;
    const QDBusArgument settings = reply.arguments().value(0).value<QDBusArgument>();
    settings.beginMap();
    while (!settings.atEnd()) {
        QString name;
        QVariantMap values;
        settings.beginMapEntry();
        settings >> name >> values;
        settings.endMapEntry();
        if (name == QLatin1String("connection")) {
            profile.Id = Text(values.value(QStringLiteral("id")));
            profile.Type = Text(values.value(QStringLiteral("type")));
            profile.Uuid = Text(values.value(QStringLiteral("uuid")));
        }
    }
    settings.endMap();
    profile.Path = path;
    return true;
}

} // namespace

Snapshot SnapshotReader::Read(const QDBusConnection& bus)
{
    Snapshot snapshot;
    if (!bus.isConnected())
        return snapshot;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(Service), QStringLiteral("/org/freedesktop"),
                                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                       QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, ReadTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).canConvert<QDBusArgument>())
        return snapshot;
    snapshot.Running = true;
    const std::map<std::string, Interfaces> objects = Demarshal(reply.arguments().value(0).value<QDBusArgument>());

    std::set<std::string> addressed;
    std::vector<std::string> profileOrder;
    for (const auto& [path, interfaces] : objects) {
        if (interfaces.contains(Ip4Interface) && HasAddress(interfaces.value(Ip4Interface)))
            addressed.insert(path);
        if (interfaces.contains(SettingsInterface))
            profileOrder = PathsOf(interfaces.value(SettingsInterface).value(QStringLiteral("Connections")));
    }
    for (const auto& [path, interfaces] : objects) {
        if (interfaces.contains(DeviceInterface)) {
            const QVariantMap& properties = interfaces.value(DeviceInterface);
            Device device;
            device.Path = path;
            device.Interface = Text(properties.value(QStringLiteral("Interface")));
            device.IpInterface = Text(properties.value(QStringLiteral("IpInterface")));
            device.Type = properties.value(QStringLiteral("DeviceType")).toUInt();
            device.State = properties.value(QStringLiteral("State")).toUInt();
            device.Reason = ReasonOf(properties.value(QStringLiteral("StateReason")));
            device.Metered = properties.value(QStringLiteral("Metered")).toUInt();
            device.ActivePath = PathOf(properties.value(QStringLiteral("ActiveConnection")));
            device.HasIpv4Address = addressed.contains(PathOf(properties.value(QStringLiteral("Ip4Config"))));
            snapshot.Devices.push_back(std::move(device));
        }
        if (interfaces.contains(ActiveInterface)) {
            const QVariantMap& properties = interfaces.value(ActiveInterface);
            Active active;
            active.Path = path;
            active.Id = Text(properties.value(QStringLiteral("Id")));
            active.Type = Text(properties.value(QStringLiteral("Type")));
            active.ProfilePath = PathOf(properties.value(QStringLiteral("Connection")));
            active.State = properties.value(QStringLiteral("State")).toUInt();
            active.Devices = PathsOf(properties.value(QStringLiteral("Devices")));
            snapshot.Actives.push_back(std::move(active));
        }
        if (interfaces.contains(ProfileInterface) &&
            std::find(profileOrder.begin(), profileOrder.end(), path) == profileOrder.end())
            profileOrder.push_back(path); // one the settings list has not caught up with
    }

    // Settings are read for new and changed profiles only; the others are kept as read.
    std::map<std::string, Profile> kept;
    for (const std::string& path : profileOrder) {
        if (!objects.contains(path))
            continue;
        auto known = Profiles.find(path);
        Profile profile;
        if (known != Profiles.end() && !Stale.contains(path))
            profile = known->second;
        else if (!ReadProfile(bus, path, profile))
            continue;
        snapshot.Profiles.push_back(profile);
        kept.emplace(path, std::move(profile));
    }
    Profiles = std::move(kept);
    Stale.clear();
    return snapshot;
}

} // namespace win::posix::nm
