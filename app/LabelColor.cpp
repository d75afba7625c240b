#include "app/LabelColor.h"

#include <QApplication>
#include <QLabel>

namespace pulo {

QColor ToQColor(TColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void SetFontColor(QLabel* label, TColor color)
{
    QPalette palette = label->palette();
    // Black is the resting colour of a figure: the desktop's own text colour, which is black on a
    // light desktop and readable on a dark one. The warning colours stay as they are.
    palette.setColor(QPalette::WindowText,
                     color == clBlack ? QApplication::palette(label).color(QPalette::WindowText) : ToQColor(color));
    label->setPalette(palette);
}

} // namespace pulo
