#include "app/TrayImages.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSvgRenderer>

#include <set>

namespace pulo {

namespace {

QByteArray Source(const QString& resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QIcon Drawn(const QByteArray& svg)
{
    QSvgRenderer renderer(svg);
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    std::set<qreal> ratios = {1.0, 2.0};
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        ratios.insert(screen->devicePixelRatio());
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        for (const qreal ratio : ratios) {
            QPixmap pixmap(QSize(size, size) * ratio);
            pixmap.fill(Qt::transparent);
            pixmap.setDevicePixelRatio(ratio);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(0, 0, size, size));
            painter.end();
            icon.addPixmap(pixmap);
        }
    }
    return icon;
}

} // namespace

QIcon TrayImage(const QColor& down, const QColor& up)
{
    QByteArray svg = Source(QStringLiteral(":/icons/tray.svg"));
    svg.replace("@DOWN@", down.name().toLatin1());
    svg.replace("@UP@", up.name().toLatin1());
    return Drawn(svg);
}

QIcon WindowImage()
{
    return Drawn(Source(QStringLiteral(":/icons/pulopro.svg")));
}

} // namespace pulo
