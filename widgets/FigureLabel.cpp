#include "widgets/FigureLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QStyleOption>
#include <QVarLengthArray>

#include <cmath>
#include <cstring>

namespace pulo {

void TFigureLabel::Prepare()
{
    Prepared = true;
    Usable = false;
    Font = QRawFont::fromFont(font());
    if (!Font.isValid())
        return;
    const QString characters = QString::fromLatin1(Characters);
    const QList<quint32> glyphs = Font.glyphIndexesForString(characters);
    if (glyphs.size() != characters.size())
        return;
    const QList<QPointF> advances = Font.advancesForGlyphIndexes(glyphs);
    for (qsizetype i = 0; i < characters.size(); ++i) {
        if (glyphs[i] == 0)
            return;
        const auto code = static_cast<std::size_t>(characters[i].unicode());
        Glyphs[code] = glyphs[i];
        Advances[code] = advances[i].x();
    }
    Usable = true;
}

void TFigureLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        Prepared = false;
    QLabel::changeEvent(event);
}

void TFigureLabel::paintEvent(QPaintEvent* event)
{
    const QString figure = text();
    const Qt::Alignment align = alignment();
    // On a scaled screen the label's own drawing picks the glyphs for the scaled size.
    const bool plain = isEnabled() && devicePixelRatio() == 1 && frameShape() == QFrame::NoFrame && margin() == 0 &&
                       !wordWrap() && !figure.isEmpty() && !figure.endsWith(QLatin1Char(' ')) &&
                       (align & Qt::AlignVertical_Mask) == Qt::AlignVCenter && layoutDirection() == Qt::LeftToRight;
    if (plain && !Prepared)
        Prepare();
    if (!plain || !Usable) {
        QLabel::paintEvent(event);
        return;
    }
    QVarLengthArray<quint32, 16> glyphs;
    QVarLengthArray<QPointF, 16> positions;
    qreal width = 0;
    for (const QChar character : figure) {
        const char16_t code = character.unicode();
        if (code >= Glyphs.size() || Glyphs[code] == 0) {
            QLabel::paintEvent(event);
            return;
        }
        glyphs.append(Glyphs[code]);
        positions.append(QPointF(width, 0));
        width += Advances[code];
    }
    // Placed as a label places a line of text: the line's top on a whole pixel below the font's
    // leading, centred in height on a whole pixel (a half rounded down), and against the side the
    // alignment names.
    const QRect area = contentsRect();
    const QFontMetricsF metrics(font());
    const qreal top = std::ceil(metrics.leading());
    const qreal height = top + metrics.ascent() + metrics.descent();
    qreal x = area.x();
    if (align & Qt::AlignRight)
        x += area.width() - width;
    else if (align & Qt::AlignHCenter)
        x += (area.width() - width) / 2;
    const qreal y = area.y() + std::floor((area.height() - height) / 2) + top + metrics.ascent();

    QGlyphRun run;
    run.setRawFont(Font);
    run.setRawData(glyphs.constData(), positions.constData(), glyphs.size());
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    painter.setPen(QPen(option.palette.brush(foregroundRole()), 0));
    painter.drawGlyphRun(QPointF(x, y), run);
}

} // namespace pulo
