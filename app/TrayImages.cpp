#include "app/TrayImages.h"

#include "app/IconShapes.h"

#include <QIconEngine>
#include <QPainter>
#include <QPen>
#include <QPixmap>

#include <functional>
#include <utility>
#include <vector>

namespace pulo {

namespace {

// The sizes a panel is told the tray icon comes in, and a window manager the window's (it is
// handed every one of them as the window is made); any other is drawn as well when asked for.
const QList<int> TraySizes = {16, 22, 24, 32, 48, 64};
const QList<int> WindowSizes = {16, 32, 48};

class TDrawnIcon final : public QIconEngine
{
public:
    // shapes draws the icon in a square of side units.
    TDrawnIcon(std::function<void(QPainter&)> shapes, int side, QList<int> sizes)
        : Shapes(std::move(shapes)), Side(side), Sizes(std::move(sizes))
    {
    }

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

    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("pulo-drawn"); }
    QIconEngine* clone() const override { return new TDrawnIcon(Shapes, Side, Sizes); }

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
        QPixmap image(size);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(static_cast<qreal>(size.width()) / Side, static_cast<qreal>(size.height()) / Side);
            Shapes(painter);
        }
        image.setDevicePixelRatio(ratio);
        Drawn.push_back({size, image});
        return image;
    }

    std::function<void(QPainter&)> Shapes;
    int Side;
    QList<int> Sizes;
    std::vector<TDrawn> Drawn;
};

} // namespace

QIcon TrayImage(const QColor& down, const QColor& up, bool pastLimit)
{
    return QIcon(new TDrawnIcon(
        [down, up, pastLimit](QPainter& painter) {
            DrawTrayIcon(painter, down, up);
            if (pastLimit) {
                // The top right corner, above the sent arrow, is the icon's one free place.
                painter.setPen(QPen(Qt::white, 1));
                painter.setBrush(PastLimitMark);
                painter.drawEllipse(QPointF(27.5, 4.5), 4, 4);
            }
        },
        TrayIconSide, TraySizes));
}

QIcon WindowImage()
{
    return QIcon(new TDrawnIcon(DrawWindowIcon, WindowIconSide, WindowSizes));
}

} // namespace pulo
