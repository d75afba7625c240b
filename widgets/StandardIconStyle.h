#pragma once

// The desktop's style, with the few pictures Qt's own styles read from their resources (the tool
// bars' and the menu bar's extension arrows, the Fusion style's group box frame) read as the PNG
// pictures they are. The styles load them by file name, and a picture loaded by file name asks
// every image plugin on the system whether it knows the file: the main window alone would then map
// the SVG, JPEG, GIF and icon plugins and Qt SVG, a good half megabyte that none of its windows
// ever uses.

#include <QPixmap>
#include <QProxyStyle>

namespace pulo {

class TStandardIconStyle : public QProxyStyle
{
public:
    // The style given (the application's: the desktop's, or the one chosen with -style or
    // QT_STYLE_OVERRIDE), which the proxy then owns, does everything else; without one, the
    // platform's default style.
    TStandardIconStyle() = default;
    explicit TStandardIconStyle(QStyle* base) : QProxyStyle(base) {}

    [[nodiscard]] QIcon standardIcon(StandardPixmap which,
                                     const QStyleOption* option = nullptr,
                                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element,
                       const QStyleOption* option,
                       QPainter* painter,
                       const QWidget* widget = nullptr) const override;

private:
    mutable QPixmap GroupBoxFrame;
};

} // namespace pulo
