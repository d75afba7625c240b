#include "app/TrayImages.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>
#include <utility>
#include <vector>

namespace pulo {

namespace {

QByteArray Source(const QString& resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The sizes a panel is told the tray icon comes in, and a window manager the window's (it is
// handed every one of them as the window is made); any other is drawn as well when asked for.
const QList<int> TraySizes = {16, 22, 24, 32, 48, 64};
const QList<int> WindowSizes = {16, 32, 48};

class TDrawnIcon final : public QIconEngine
{
public:
    TDrawnIcon(QByteArray svg, QList<int> sizes) : Svg(std::move(svg)), Sizes(std::move(sizes)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, Draw(rect.size() * ratio, ratio));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override { return Draw(size, 1.0); }

    // Qt hands the size here already in device pixels.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) override
    {
        return Draw(size, scale);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : Sizes)
            sizes.append(QSize(side, side));
        return sizes;
    }

    bool isNull() override { return Svg.isEmpty(); }
    QString key() const override { return QStringLiteral("pulo-drawn"); }
    QIconEngine* clone() const override { return new TDrawnIcon(Svg, Sizes); }

private:
    struct TDrawn
    {
        QSize Size; // in device pixels
        QPixmap Image;
    };

    QPixmap Draw(const QSize& size, qreal ratio)
    {
        if (size.isEmpty())
            return {};
        for (const TDrawn& drawn : Drawn)
            if (drawn.Size == size && drawn.Image.devicePixelRatio() == ratio)
                return drawn.Image;
        if (!Renderer)
            Renderer = std::make_unique<QSvgRenderer>(Svg);
        QPixmap image(size);
        image.fill(Qt::transparent);
        if (Renderer->isValid()) {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            Renderer->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
        image.setDevicePixelRatio(ratio);
        Drawn.push_back({size, image});
        return image;
    }

    QByteArray Svg;
    QList<int> Sizes;
    std::unique_ptr<QSvgRenderer> Renderer; // made at the first drawing
    std::vector<TDrawn> Drawn;
};

} // namespace

QIcon TrayImage(const QColor& down, const QColor& up)
{
    QByteArray svg = Source(QStringLiteral(":/icons/tray.svg"));
    svg.replace("@DOWN@", down.name().toLatin1());
    svg.replace("@UP@", up.name().toLatin1());
    return QIcon(new TDrawnIcon(svg, TraySizes));
}

QIcon WindowImage()
{
    return QIcon(new TDrawnIcon(Source(QStringLiteral(":/icons/pulopro.svg")), WindowSizes));
}

} // namespace pulo
