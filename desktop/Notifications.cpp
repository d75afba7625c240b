#include "desktop/Notifications.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace pulo {

namespace {

constexpr int ServiceTimeoutMs = 2000;

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

TNotifier::TNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), Bus(std::move(bus)) {}

void TNotifier::Notify(TNotice kind, const QString& summary, const QString& body, TUrgency urgency)
{
    if (!Enabled)
        return;
    const auto fallBack = [this, summary, body] {
        if (Fallback)
            Fallback(summary, body);
    };
    if (!Bus.isConnected()) {
        fallBack();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const auto previous = Shown.find(kind);
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("pulopro")},
                      {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency))}};
    if (!Image.isNull())
        hints.insert(QStringLiteral("image-data"), ImageData(Image));
    call << QStringLiteral("PuloPro") << (previous != Shown.end() ? previous->second : 0U) << QStringLiteral("pulopro")
         << summary << body << QStringList() << hints << -1;
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
