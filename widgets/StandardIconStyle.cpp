#include "widgets/StandardIconStyle.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QStyleOption>
#include <QWidget>
#include <qdrawutil.h>

#include <algorithm>
#include <array>

namespace pulo {
namespace {

const QString StyleImages = QStringLiteral(":/qt-project.org/styles/commonstyle/images/");

// One of the styles' pictures, read as a PNG without asking the image plugins.
QImage StylePicture(const QString& name)
{
    QImageReader reader(StyleImages + name, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// The extension arrow in the sizes Qt's styles offer, right to left where the widget runs so.
QIcon ExtensionArrow(bool horizontal, bool rightToLeft)
{
    const char* const name = !horizontal   ? "toolbar-ext-v-%1.png"
                             : rightToLeft ? "toolbar-ext-h-rtl-%1.png"
                                           : "toolbar-ext-h-%1.png";
    const std::array<int, 3> sizes = horizontal ? std::array{8, 16, 32} : std::array{5, 10, 20};
    QIcon icon;
    for (const int size : sizes) {
        const QImage picture = StylePicture(QString::fromLatin1(name).arg(size));
        if (!picture.isNull())
            icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

} // namespace

QIcon TStandardIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const
{
    if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton) {
        const bool rightToLeft = widget != nullptr ? widget->isRightToLeft() : QGuiApplication::isRightToLeft();
        QIcon arrow = ExtensionArrow(which == SP_ToolBarHorizontalExtensionButton, rightToLeft);
        if (!arrow.isNull())
            return arrow;
    }
    return QProxyStyle::standardIcon(which, option, widget);
}

void TStandardIconStyle::drawPrimitive(PrimitiveElement element,
                                       const QStyleOption* option,
                                       QPainter* painter,
                                       const QWidget* widget) const
{
    // The Fusion style's group box frame, drawn as that style draws it: its picture stretched
    // around the box below the title's line (only a box with neither title nor check box has no
    // such line).
    if (element == PE_FrameGroupBox && baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0) {
        if (GroupBoxFrame.isNull())
            GroupBoxFrame = QPixmap::fromImage(StylePicture(QStringLiteral("fusion_groupbox.png")));
        constexpr int FrameTopMargin = 3;
        const auto* box = qobject_cast<const QGroupBox*>(widget);
        const bool titleLine = box == nullptr || box->isCheckable() || !box->title().isEmpty();
        const int top = titleLine ? std::max(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget),
                                             option->fontMetrics.height()) +
                                        FrameTopMargin
                                  : FrameTopMargin;
        qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), GroupBoxFrame);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

} // namespace pulo
