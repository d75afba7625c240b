#include "settings/SavePosition.h"

#include "common/PuloError.h"
#include "tests/support/SimPlatformTest.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace pulo {
namespace {

using SavePositionTest = test::SimPlatformTest;

TEST_F(SavePositionTest, RestoresWhatIsStoredAndKeepsTheRest)
{
    const struct
    {
        const char* Name;
        QByteArray Ini;
        QRect Expected;
    } cases[] = {
        {"first run", "", {40, 30, 200, 100}},
        {"all four", "[Placement]\nLeft=300\nTop=200\nRight=650\nBottom=500\n", {300, 200, 350, 300}},
        {"position only keeps the size", "[Placement]\nLeft=300\nTop=200\n", {300, 200, 200, 100}},
        {"ends of the integer range count as no position",
         "[Placement]\nLeft=-2147483648\nTop=-2147483648\nRight=2147483647\nBottom=2147483647\n",
         {40, 30, 200, 100}},
        {"inverted counts as no position",
         "[Placement]\nLeft=500\nTop=500\nRight=100\nBottom=100\n",
         {40, 30, 200, 100}},
        {"garbage reads as the window's own", "[Placement]\nLeft=abc\nTop=$64\nRight=x\n", {40, 100, 200, 100}},
        {"another section", "[Other]\nLeft=300\n", {40, 30, 200, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.Ini);
        QWidget window;
        window.setGeometry(40, 30, 200, 100);
        RestoreWindowPosition(window, "Placement");
        EXPECT_EQ(window.geometry(), c.Expected);
    }
}

TEST_F(SavePositionTest, APositionOffEveryScreenComesBackOntoTheNearest)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct
    {
        const char* Name;
        QByteArray Ini;
    } cases[] = {
        {"far below and left", "[Placement]\nLeft=-5000\nTop=9000\n"},
        {"a monitor to the right that is gone", "[Placement]\nLeft=3000\nTop=100\nRight=3200\nBottom=200\n"},
        {"title bar above the screen", "[Placement]\nLeft=100\nTop=-90\nRight=300\nBottom=10\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.Ini);
        QWidget window;
        window.setGeometry(40, 30, 200, 100);
        RestoreWindowPosition(window, "Placement");
        EXPECT_TRUE(screen.contains(window.geometry())) << window.geometry().x() << "," << window.geometry().y();
        EXPECT_EQ(window.size(), QSize(200, 100));
    }
}

TEST_F(SavePositionTest, SavesTheNormalRectangleEvenWhenHidden)
{
    QWidget window;
    window.setGeometry(120, 80, 353, 304);
    window.show();
    window.hide();
    SaveWindowPosition(window, "Placement");
    // Qt's offscreen platform gives a shown window a frame of 2 pixels all round: the outer
    // rectangle is stored, not the window's own.
    EXPECT_EQ(QString::fromLatin1(ReadIni()), QStringLiteral("[Placement]\nLeft=118\nTop=78\nRight=475\nBottom=386\n"));

    QWidget next;
    next.show(); // with its frame, as at the next start
    RestoreWindowPosition(next, "Placement");
    EXPECT_EQ(next.geometry(), QRect(120, 80, 353, 304)) << "the window comes back where it was";

    Sim->RefuseProfileWrites = true;
    EXPECT_THROW(SaveWindowPosition(window, "Placement"), PuloError);
}

} // namespace
} // namespace pulo
