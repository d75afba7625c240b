#include "app/IconShapes.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <initializer_list>

namespace pulo {
namespace {

// A closed path of quadratic curves: the start, then control point and end of each curve.
QPainterPath Curves(QPointF start, std::initializer_list<std::pair<QPointF, QPointF>> curves)
{
    QPainterPath path(start);
    for (const auto& [control, end] : curves)
        path.quadTo(control, end);
    path.closeSubpath();
    return path;
}

QPolygonF Outline(std::initializer_list<QPointF> points)
{
    return QPolygonF(QList<QPointF>(points));
}

// A stroke as pictures draw it unless told otherwise: square ends cut at the end, sharp corners.
QPen Stroke(const QColor& color, qreal width, Qt::PenJoinStyle join = Qt::MiterJoin)
{
    QPen pen(color, width, Qt::SolidLine, Qt::FlatCap, join);
    pen.setMiterLimit(4);
    return pen;
}

// The globe's meridian, equator and parallels: light, a little transparent.
QPen GridStroke(qreal width)
{
    QColor grid(0xd9, 0xef, 0xff);
    grid.setAlphaF(0.8F);
    return Stroke(grid, width);
}

struct TGlobe
{
    QPointF Centre;
    qreal Radius;
    QColor Rim;
    qreal RimWidth;
    qreal GridWidth;
    qreal MeridianRadius; // the half width of the meridian's ellipse
    QPainterPath Land;
    QColor LandFill;
    QColor Coast;
    qreal CoastWidth;
};

void DrawGlobe(QPainter& painter, const TGlobe& globe)
{
    // The sea's light comes from above left: the gradient's centre sits at 38 %, 35 % of the box.
    const QRectF box(globe.Centre - QPointF(globe.Radius, globe.Radius), QSizeF(2, 2) * globe.Radius);
    QRadialGradient sea(box.left() + 0.38 * box.width(), box.top() + 0.35 * box.height(), 0.75 * box.width());
    sea.setColorAt(0, QColor(0x7f, 0xc4, 0xff));
    sea.setColorAt(0.6, QColor(0x2a, 0x7f, 0xd4));
    sea.setColorAt(1, QColor(0x14, 0x4a, 0x8c));
    painter.setBrush(sea);
    painter.setPen(Stroke(globe.Rim, globe.RimWidth));
    painter.drawEllipse(globe.Centre, globe.Radius, globe.Radius);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(GridStroke(globe.GridWidth));
    painter.drawEllipse(globe.Centre, globe.MeridianRadius, globe.Radius);
    painter.drawLine(QPointF(box.left(), globe.Centre.y()), QPointF(box.right(), globe.Centre.y()));
}

void DrawLand(QPainter& painter, const TGlobe& globe)
{
    painter.setBrush(globe.LandFill);
    painter.setPen(Stroke(globe.Coast, globe.CoastWidth));
    painter.drawPath(globe.Land);
}

struct TArrow
{
    QPolygonF Outline;
    QColor Fill;
};

void DrawArrows(QPainter& painter, const QColor& edge, qreal width, const TArrow& first, const TArrow& second)
{
    painter.setPen(Stroke(edge, width, Qt::RoundJoin));
    for (const TArrow* arrow : {&first, &second}) {
        painter.setBrush(arrow->Fill);
        painter.drawPolygon(arrow->Outline);
    }
}

} // namespace

void DrawTrayIcon(QPainter& painter, const QColor& down, const QColor& up)
{
    QPainterPath land = Curves({9.5, 13}, {{{12, 9.5}, {15, 11}}, {{16, 13.5}, {13.5, 15}}, {{11, 15.8}, {9.5, 13}}});
    land.addPath(
        Curves({17.5, 20}, {{{20.5, 19}, {22.5, 21.2}}, {{21.7, 24.4}, {18.7, 24.6}}, {{17, 22.9}, {17.5, 20}}}));
    const TGlobe globe{{16, 17}, 10, Qt::black, 1, 0.7, 4, land, QColor(0x40, 0xc0, 0x40), QColor(0x00, 0x80, 0x00),
                       0.6};
    DrawGlobe(painter, globe);
    DrawLand(painter, globe);
    DrawArrows(
        painter, Qt::black, 1,
        {Outline({{4.5, 1.5}, {7.5, 1.5}, {7.5, 16.5}, {11.5, 16.5}, {6, 22.5}, {0.5, 16.5}, {4.5, 16.5}}), down},
        {Outline({{24.5, 30.5}, {27.5, 30.5}, {27.5, 15.5}, {31.5, 15.5}, {26, 9.5}, {20.5, 15.5}, {24.5, 15.5}}), up});
}

void DrawWindowIcon(QPainter& painter)
{
    QPainterPath land = Curves({60, 96}, {{{80, 68}, {106, 80}}, {{116, 102}, {94, 114}}, {{74, 120}, {60, 96}}});
    land.addPath(Curves({132, 150}, {{{156, 142}, {172, 160}}, {{166, 186}, {142, 188}}, {{128, 174}, {132, 150}}}));
    const TGlobe globe{
        {118, 128}, 98, QColor(0x0d, 0x35, 0x66), 6, 5, 40, land, QColor(0x5c, 0xb8, 0x5c), QColor(0x2d, 0x6e, 0x2d),
        3};
    DrawGlobe(painter, globe);
    // Two parallels, bowed towards the equator.
    painter.setPen(GridStroke(globe.GridWidth));
    QPainterPath parallels({32, 80});
    parallels.quadTo({118, 100}, {204, 80});
    parallels.moveTo(32, 176);
    parallels.quadTo({118, 156}, {204, 176});
    painter.drawPath(parallels);
    DrawLand(painter, globe);
    DrawArrows(painter, QColor(0x1b, 0x1b, 0x1b), 4,
               {Outline({{206, 30}, {240, 70}, {220, 70}, {220, 122}, {192, 122}, {192, 70}, {172, 70}}),
                QColor(0x32, 0xe0, 0x32)},
               {Outline({{206, 226}, {240, 186}, {220, 186}, {220, 134}, {192, 134}, {192, 186}, {172, 186}}),
                QColor(0xff, 0xd5, 0x00)});
}

} // namespace pulo
