#include "desktop/Notifications.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace pulo {

namespace {

constexpr int ServiceTimeoutMs = 2000;
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString ServicePath = QStringLiteral("/org/freedesktop/Notifications");

// The icon as the notification service takes raw pixels (its "image-data" hint): width, height,
// row stride, alpha, bits per sample, channels and the RGBA bytes.
QVariant ImageData(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument data;
    data.beginStructure();
    data << rgba.width() << rgba.height() << static_cast<int>(rgba.bytesPerLine()) << true << 8 << 4
         << QByteArray(reinterpret_cast<const char*>(rgba.constBits()), static_cast<qsizetype>(rgba.sizeInBytes()));
    data.endStructure();
    return QVariant::fromValue(data);
}

} // namespace

TNotifier::TNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), Bus(std::move(bus))
{
    if (Bus.isConnected())
        Bus.connect(QString(), ServicePath, Service, QStringLiteral("ActionInvoked"), this,
                    SLOT(ActionInvoked(quint32, QString)));
}

void TNotifier::Notify(TNotice kind,
                       const QString& summary,
                       const QString& body,
                       TUrgency urgency,
                       const std::vector<TNoticeAction>& actions)
{
    if (!Enabled)
        return;
    if (!Bus.isConnected()) {
        if (Fallback)
            Fallback(summary, body);
        return;
    }
    if (actions.empty() || Capabilities) {
        Send(kind, summary, body, urgency, actions);
        return;
    }
    // Whether the desktop shows actions is asked once; the notice goes out with the answer.
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(Service, ServicePath, Service, QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(ask, ServiceTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, kind, summary, body, urgency, actions](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<QStringList> reply = *done;
                Capabilities = reply.isError() ? QStringList() : reply.value();
                done->deleteLater();
                Send(kind, summary, body, urgency, actions);
            });
}

void TNotifier::ActionInvoked(quint32 id, const QString& key)
{
    for (const auto& [kind, shown] : Shown)
        if (shown == id && OnAction)
            OnAction(kind, key);
}

void TNotifier::Send(TNotice kind,
                     const QString& summary,
                     const QString& body,
                     TUrgency urgency,
                     const std::vector<TNoticeAction>& actions)
{
    const auto fallBack = [this, summary, body] {
        if (Fallback)
            Fallback(summary, body);
    };
    QStringList offered;
    if (Capabilities && Capabilities->contains(QStringLiteral("actions")))
        for (const TNoticeAction& action : actions)
            offered << action.Key << action.Label;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ServicePath, Service, QStringLiteral("Notify"));
    const auto previous = Shown.find(kind);
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("pulopro")},
                      {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency))}};
    if (!Image.isNull())
        hints.insert(QStringLiteral("image-data"), ImageData(Image));
    call << QStringLiteral("PuloPro") << (previous != Shown.end() ? previous->second : 0U) << QStringLiteral("pulopro")
         << summary << body << offered << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(Bus.asyncCall(call, ServiceTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, kind, fallBack](QDBusPendingCallWatcher* done) {
        const QDBusPendingReply<quint32> reply = *done;
        if (reply.isError())
            fallBack();
        else
            Shown[kind] = reply.value();
        done->deleteLater();
        Q_EMIT Answered();
    });
}

} // namespace pulo
