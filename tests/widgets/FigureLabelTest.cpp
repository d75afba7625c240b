// A figure drawn from the looked-up glyphs is the figure a label draws.

#include "widgets/FigureLabel.h"

#include <QFont>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>

namespace pulo {
namespace {

template <typename TLabel> QImage Drawn(const QString& text, Qt::Alignment alignment, QSize size, bool enabled)
{
    TLabel label(text);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    label.setFont(font);
    label.setAlignment(alignment);
    label.setAutoFillBackground(true);
    label.setEnabled(enabled);
    label.resize(size);
    return label.grab().toImage();
}

TEST(FigureLabelTest, AFigureLooksAsALabelDrawsIt)
{
    const struct
    {
        const char* Text;
        Qt::Alignment Alignment;
        QSize Size;
        bool Enabled;
    } cases[] = {
        {"0", Qt::AlignRight | Qt::AlignVCenter, {50, 16}, true},
        {"4,987.3", Qt::AlignRight | Qt::AlignVCenter, {50, 16}, true},
        {"12345.678901", Qt::AlignLeft | Qt::AlignVCenter, {90, 17}, true},
        {"-1.5", Qt::AlignHCenter | Qt::AlignVCenter, {41, 15}, true},
        {"999,999.9", Qt::AlignRight | Qt::AlignVCenter, {40, 16}, true},    // wider than the label
        {"4,987.3 kbps", Qt::AlignRight | Qt::AlignVCenter, {80, 16}, true}, // letters: the label's own way
        {"4,987.3", Qt::AlignRight | Qt::AlignVCenter, {50, 16}, false},
    };
    // Every height a figure's row may have, centred.
    for (int height = 11; height <= 24; ++height) {
        SCOPED_TRACE(height);
        const QString text = QStringLiteral("1,024.8");
        EXPECT_TRUE(Drawn<TFigureLabel>(text, Qt::AlignRight | Qt::AlignVCenter, {60, height}, true) ==
                    Drawn<QLabel>(text, Qt::AlignRight | Qt::AlignVCenter, {60, height}, true));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const QString text = QString::fromLatin1(c.Text);
        EXPECT_TRUE(Drawn<TFigureLabel>(text, c.Alignment, c.Size, c.Enabled) ==
                    Drawn<QLabel>(text, c.Alignment, c.Size, c.Enabled));
    }
}

} // namespace
} // namespace pulo
