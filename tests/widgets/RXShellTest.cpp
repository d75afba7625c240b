#include "widgets/RXShell.h"

#include "tests/support/QtPrinters.h"
#include "tests/support/TrayRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QPixmap>

#include <gtest/gtest.h>

namespace pulo {
namespace {

using test::TrayLog;
using test::TrayRecorder;

QIcon Solid(Qt::GlobalColor colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class RXShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Tray = std::make_unique<TRxTrayIcon>(std::make_unique<TrayRecorder>(Log));
        Tray->SetHint(QStringLiteral("Pulo - Click to restore"));
        Tray->SetIcon(Still);
        Tray->SetIcons({Frame1, Frame2});
        Tray->SetInterval(150);
        Log->Calls.clear();
    }

    [[nodiscard]] qint64 ShownImage() const { return Log->Calls.back().Image; }

    std::shared_ptr<TrayLog> Log = std::make_shared<TrayLog>();
    QIcon Still = Solid(Qt::gray);
    QIcon Frame1 = Solid(Qt::green);
    QIcon Frame2 = Solid(Qt::yellow);
    std::unique_ptr<TRxTrayIcon> Tray;
};

TEST_F(RXShellTest, ShowingRegistersTheIconWithItsRecord)
{
    Tray->Loaded();
    EXPECT_EQ(Log->Messages(), "DA");
    EXPECT_TRUE(Tray->Registered());
    const win::NOTIFYICONDATAA& data = Log->Calls.back().Data;
    EXPECT_EQ(data.cbSize, 88U);
    EXPECT_EQ(data.uID, 0U);
    EXPECT_EQ(data.uFlags, 7U);
    EXPECT_EQ(data.uCallbackMessage, 0xB054U);
    EXPECT_NE(data.hIcon, 0U);
    EXPECT_STREQ(data.szTip, "Pulo - Click to restore");
    EXPECT_EQ(ShownImage(), Still.cacheKey());

    Tray->SetHint(QStringLiteral("Pulo - Click to restore"));
    EXPECT_EQ(Log->Messages(), "DA") << "the same hint changes nothing";

    Tray.reset();
    EXPECT_EQ(Log->Messages(), "DAD");
}

TEST_F(RXShellTest, TipIsTheHintBeforeTheBarCutTo63)
{
    const struct
    {
        QString Hint;
        std::string Tip;
    } cases[] = {
        {QStringLiteral("Online|long help text"), "Online"},
        {QString(100, QLatin1Char('x')), std::string(63, 'x')},
        {QString(62, QLatin1Char('x')) + QChar(0x00E9), std::string(62, 'x')},
        {QStringLiteral("|nothing before"), ""},
    };
    Tray->Loaded();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Tip);
        Tray->SetHint(c.Hint);
        EXPECT_EQ(Log->Calls.back().Message, win::NIM_MODIFY);
        EXPECT_EQ(std::string(Log->Calls.back().Data.szTip), c.Tip);
    }
}

TEST_F(RXShellTest, RefusedIconIsOfferedAgainAtTheNextUpdate)
{
    Log->Available = false;
    Tray->Loaded();
    EXPECT_FALSE(Tray->Registered());
    Log->Available = true;
    Tray->SetHint(QStringLiteral("Pulo"));
    EXPECT_TRUE(Tray->Registered());
    EXPECT_EQ(Log->Messages(), "DADA");
}

TEST_F(RXShellTest, NothingToShowNothingRegistered)
{
    TRxTrayIcon empty(std::make_unique<TrayRecorder>(Log));
    Log->Calls.clear();
    empty.Loaded();
    EXPECT_EQ(Log->Messages(), "D");
    EXPECT_FALSE(empty.Registered());
}

TEST_F(RXShellTest, AnimationStepsThroughTheFramesAndStopsOnTheStillIcon)
{
    Tray->Loaded();
    Tray->SetAnimated(true);
    EXPECT_TRUE(Tray->Animated());
    EXPECT_TRUE(Tray->AnimationRunning());
    EXPECT_EQ(Tray->FrameIndex(), 0);
    EXPECT_EQ(ShownImage(), Frame1.cacheKey());
    Tray->AdvanceFrame();
    EXPECT_EQ(ShownImage(), Frame2.cacheKey());
    Tray->AdvanceFrame();
    EXPECT_EQ(ShownImage(), Frame1.cacheKey());

    Tray->SetAnimated(false);
    EXPECT_FALSE(Tray->AnimationRunning());
    EXPECT_EQ(Log->Calls.back().Message, win::NIM_MODIFY);
    EXPECT_EQ(ShownImage(), Still.cacheKey());
    Tray->AdvanceFrame();
    EXPECT_EQ(ShownImage(), Still.cacheKey()) << "a late step of a stopped animation changes nothing";
}

TEST_F(RXShellTest, AnimationNeedsFramesAndWaitsForTheIcon)
{
    TRxTrayIcon bare(std::make_unique<TrayRecorder>(Log));
    bare.SetIcon(Still);
    bare.SetAnimated(true);
    EXPECT_FALSE(bare.Animated());
    EXPECT_FALSE(bare.AnimationRunning());

    Tray->SetActive(false);
    Tray->SetAnimated(true);
    EXPECT_TRUE(Tray->AnimationRunning());
    EXPECT_FALSE(Tray->Registered());
    Tray->SetActive(true);
    EXPECT_TRUE(Tray->Registered());
    EXPECT_EQ(ShownImage(), Frame1.cacheKey());
}

TEST_F(RXShellTest, AnimationStepsByItselfAtItsInterval)
{
    Tray->SetInterval(1);
    Tray->Loaded();
    Tray->SetAnimated(true);
    QElapsedTimer waited;
    waited.start();
    while (Tray->FrameIndex() == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(Tray->FrameIndex(), 1);
    Tray->SetAnimated(false);
}

TEST_F(RXShellTest, MouseMessagesBecomeEvents)
{
    QStringList events;
    auto name = [](TMouseButton button) {
        return button == TMouseButton::mbLeft ? QStringLiteral("L") : button == TMouseButton::mbRight ? "R" : "M";
    };
    Tray->OnClick = [&](QObject*, TMouseButton b, TShiftState, int, int) { events << "click" + name(b); };
    Tray->OnDblClick = [&](QObject*) { events << QStringLiteral("dbl"); };
    Tray->OnMouseDown = [&](QObject*, TMouseButton b, TShiftState s, int, int) {
        events << "down" + name(b) + ((s & ssDouble) ? "2" : "");
    };
    Tray->OnMouseUp = [&](QObject*, TMouseButton b, TShiftState, int, int) { events << "up" + name(b); };
    Tray->OnMouseMove = [&](QObject*, TShiftState, int, int) { events << QStringLiteral("move"); };

    using namespace win;
    const struct
    {
        const char* Name;
        std::vector<UINT> Messages;
        QStringList Expected;
    } cases[] = {
        {"left click", {WM_LBUTTONDOWN, WM_LBUTTONUP}, {"downL", "clickL", "upL"}},
        {"right click without menu", {WM_RBUTTONDOWN, WM_RBUTTONUP}, {"downR", "clickR", "upR"}},
        {"double click",
         {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
         {"downL", "clickL", "upL", "dbl", "downL2"}},
        {"stray release", {WM_LBUTTONUP}, {}},
        {"middle", {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}, {"downM", "upM", "downM2"}},
        {"right double", {WM_RBUTTONDBLCLK}, {"downR2"}},
        {"move", {WM_MOUSEMOVE}, {"move"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        events.clear();
        for (const UINT message : c.Messages)
            Tray->Notify(TRxTrayIcon::CallbackMessage, message);
        EXPECT_EQ(events, c.Expected);
    }
    events.clear();
    Tray->Notify(0x400, WM_LBUTTONDOWN);
    EXPECT_TRUE(events.isEmpty()) << "other messages are not the icon's";
}

TEST_F(RXShellTest, PopupMenuTakesRightClicksAndItsDefaultTheDoubleClick)
{
    QMenu menu;
    QAction* restore = menu.addAction(QStringLiteral("Restore"));
    menu.setDefaultAction(restore);
    Tray->PopupMenu = &menu;
    int clicks = 0, triggered = 0;
    Tray->OnClick = [&](QObject*, TMouseButton, TShiftState, int, int) { ++clicks; };
    QObject::connect(restore, &QAction::triggered, [&] { ++triggered; });

    Tray->Notify(TRxTrayIcon::CallbackMessage, win::WM_RBUTTONDOWN);
    Tray->Notify(TRxTrayIcon::CallbackMessage, win::WM_RBUTTONUP);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();

    Tray->Notify(TRxTrayIcon::CallbackMessage, win::WM_LBUTTONDBLCLK);
    EXPECT_EQ(triggered, 1);
}

} // namespace
} // namespace pulo
