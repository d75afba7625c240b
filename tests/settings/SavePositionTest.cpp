#include "settings/SavePosition.h"

#include "common/PuloError.h"
#include "tests/support/SimPlatformTest.h"

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
        {"off any screen, used as it is", "[Placement]\nLeft=-5000\nTop=9000\n", {-5000, 9000, 200, 100}},
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

TEST_F(SavePositionTest, SavesTheNormalRectangleEvenWhenHidden)
{
    QWidget window;
    window.setGeometry(120, 80, 353, 304);
    window.show();
    window.hide();
    SaveWindowPosition(window, "Placement");
    const QRect frame = window.frameGeometry();
    EXPECT_EQ(ReadIni(), QStringLiteral("[Placement]\nLeft=%1\nTop=%2\nRight=%3\nBottom=%4\n")
                             .arg(frame.left())
                             .arg(frame.top())
                             .arg(frame.left() + frame.width())
                             .arg(frame.top() + frame.height())
                             .toLatin1());

    QWidget next;
    next.show(); // with its frame, as at the next start
    RestoreWindowPosition(next, "Placement");
    EXPECT_EQ(next.geometry(), QRect(120, 80, 353, 304)) << "the window comes back where it was";

    Sim->RefuseProfileWrites = true;
    EXPECT_THROW(SaveWindowPosition(window, "Placement"), PuloError);
}

} // namespace
} // namespace pulo
