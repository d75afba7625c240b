// The main window drawn with the style the user chose, and its figures and warnings readable on
// a light and on a dark window, checked on what the window really paints.

#include "app/Application.h"
#include "common/ErrorBoundary.h"
#include "tests/app/Unit1TrayFixture.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace pulo {
namespace {

using DesktopStyleTest = test::Unit1TrayTest;

// A dark style of the test's own, as a style plugin or a dark desktop theme gives one: the
// Fusion style's drawing with a dark palette.
class DarkStyle final : public QProxyStyle
{
public:
    DarkStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("fusion"))) {}

    [[nodiscard]] QPalette standardPalette() const override
    {
        QPalette dark(QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        return dark;
    }
    void polish(QPalette& palette) override { palette = standardPalette(); }
    using QProxyStyle::polish;
};

double Luminance(QRgb pixel)
{
    const auto linear = [](int channel) {
        const double value = channel / 255.0;
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
}

double Contrast(QRgb first, QRgb second)
{
    const double a = Luminance(first);
    const double b = Luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// What a label paints, read from a grab of the whole window: its background (the corner) and the
// pixel of its text that stands out most from it.
struct TPainted final
{
    QRgb Background = 0;
    QRgb Text = 0;
};
TPainted PaintedIn(const QImage& window, const QWidget& form, const QLabel* label)
{
    const QRect place(label->mapTo(&form, QPoint(0, 0)), label->size());
    TPainted painted{window.pixel(place.topLeft()), window.pixel(place.topLeft())};
    for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = place.left(); x <= place.right(); ++x)
            if (Contrast(window.pixel(x, y), painted.Background) > Contrast(painted.Text, painted.Background))
                painted.Text = window.pixel(x, y);
    return painted;
}

TEST_F(DesktopStyleTest, TheChosenStyleDrawsTheWindowAndEveryFigureAndWarningReads)
{
    // Near the download limit (yellow), past the time limit (red), a resting figure.
    WriteIni("[General]\nSounds=0\nMaximumTime=1\nMaxTimeAlarm=1\nMaximumMB=1\nMaxMBAlarm=1\n"
             "[Stats]\nMonth=12\nTotTime=3700\nTotRCV=960\nTotTMT=200\n");
    const QString before = QApplication::style()->name();
    const struct
    {
        const char* Name;
        bool Dark;
    } desktops[] = {{"a light desktop", false}, {"a dark style chosen with -style", true}};
    for (const auto& desktop : desktops) {
        SCOPED_TRACE(desktop.Name);
        // The style Qt chose from the command line or the environment, before the program sets
        // its own up.
        QApplication::setStyle(desktop.Dark ? static_cast<QStyle*>(new DarkStyle)
                                            : QStyleFactory::create(QStringLiteral("fusion")));
        InitApplication(*qApp);
        SetErrorReporter(nullptr);
        {
            TForm1 form(Services());
            form.show();
            const QImage window = form.grab().toImage();
            const QRgb client = window.pixel(form.centralWidget()->mapTo(&form, QPoint(2, 2)));
            EXPECT_EQ(Luminance(client) < 0.1, desktop.Dark) << "the window's own background";
            const struct
            {
                const QLabel* Label;
                const char* Warning;
            } figures[] = {{form.Label11b, "yellow"}, {form.Label12b, "red"}, {form.Label10b, "none"}};
            for (const auto& figure : figures) {
                SCOPED_TRACE(figure.Label->objectName().toStdString());
                EXPECT_EQ(test::WarningOf(figure.Label), figure.Warning);
                const TPainted painted = PaintedIn(window, form, figure.Label);
                EXPECT_GE(Contrast(painted.Text, painted.Background), 3.0)
                    << std::hex << painted.Text << " on " << painted.Background;
            }
        }
    }
    QApplication::setStyle(QStyleFactory::create(before));
    QApplication::setPalette(QApplication::style()->standardPalette());
}

TEST_F(DesktopStyleTest, TheUsageWindowComesBackWhollyOnTheScreenAndTheSameSizeAtEveryStart)
{
    // The tests' screen is 1024 x 600: the Usage window is taller than that by itself.
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
    const struct
    {
        const char* Name;
        const char* Placement;
    } starts[] = {{"first start", ""},
                  {"second start", nullptr},
                  {"third start", nullptr},
                  {"a place above the screen and larger than it",
                   "[UsagePlacement]\nLeft=-30\nTop=-200\nRight=2000\nBottom=1500\n"}};
    QSize first;
    for (const auto& start : starts) {
        SCOPED_TRACE(start.Name);
        if (start.Placement != nullptr)
            WriteIni(QByteArray("[General]\nSounds=0\n") + start.Placement);
        TForm1 form(Services());
        form.show();
        form.Usage1Click();
        QWidget* usage = test::ShownWindow(QStringLiteral("frmUsage"));
        ASSERT_NE(usage, nullptr);
        EXPECT_TRUE(room.contains(usage->frameGeometry()))
            << usage->frameGeometry().x() << "," << usage->frameGeometry().y() << " " << usage->frameGeometry().width()
            << "x" << usage->frameGeometry().height();
        if (first.isEmpty())
            first = usage->size();
        if (start.Placement == nullptr) {
            EXPECT_EQ(usage->size(), first) << "neither growing nor shrinking from start to start";
        }
        usage->close();
    }
}

} // namespace
} // namespace pulo
