#include "app/LabelColor.h"

#include <QApplication>
#include <QLabel>

#include <cmath>

namespace pulo {

namespace {

constexpr double LeastContrast = 3.0;
// What the colour is made to reach: a little more, so that rounding it to whole channel values
// keeps it at the least.
constexpr double AimedContrast = 3.1;

// The relative luminance of a colour, as the contrast of text is measured (sRGB).
double Luminance(const QColor& color)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

double Contrast(const QColor& first, const QColor& second)
{
    const double a = Luminance(first);
    const double b = Luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The colour a share of the way towards black (darker) or white.
QColor Towards(const QColor& color, double share, bool darker)
{
    const double target = darker ? 0.0 : 1.0;
    const auto step = [&](double channel) { return channel + (target - channel) * share; };
    return QColor::fromRgbF(static_cast<float>(step(color.redF())), static_cast<float>(step(color.greenF())),
                            static_cast<float>(step(color.blueF())));
}

} // namespace

QColor ToQColor(TColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

QColor ReadableOn(const QColor& color, const QColor& background)
{
    if (Contrast(color, background) >= LeastContrast)
        return color;
    // Away from the background's side: darker on a light one, lighter on a dark one; the least
    // share of the way that reads, found by halving.
    const bool darker = Contrast(background, Qt::black) > Contrast(background, Qt::white);
    double low = 0.0;
    double high = 1.0;
    for (int i = 0; i < 16; ++i) {
        const double middle = (low + high) / 2;
        (Contrast(Towards(color, middle, darker), background) >= AimedContrast ? high : low) = middle;
    }
    return Towards(color, high, darker).toRgb();
}

void SetFontColor(QLabel* label, TColor color)
{
    QPalette palette = label->palette();
    // Black is the resting colour of a figure: the desktop's own text colour, which is black on a
    // light desktop and readable on a dark one. The warning colours stay as they are where they
    // can be read, and are made readable where they cannot.
    const QPalette& resting = QApplication::palette(label);
    palette.setColor(QPalette::WindowText, color == clBlack
                                               ? resting.color(QPalette::WindowText)
                                               : ReadableOn(ToQColor(color), resting.color(QPalette::Window)));
    label->setPalette(palette);
}

} // namespace pulo
