// The main window in the tray: its icon, menu and tip, the timer list that drives the window's
// timed events, and the icons drawn for the screen.

#include "app/TrayImages.h"
#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "settings/frmConfig.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "widgets/RXShell.h"
#include "widgets/TimerLst.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSvgRenderer>

namespace pulo {
namespace {

using Unit1TrayTest = test::Unit1TrayTest;

TEST_F(Unit1TrayTest, TimedEventsJoinTheListAtTheirPeriods)
{
    const struct
    {
        const char* Name;
        QByteArray Ini;
        std::int32_t OnlineSoundPeriod;
        win::DWORD TickPeriod;
    } cases[] = {
        {"defaults", "", 60000, 1000},
        {"ten seconds", "[General]\nOnlineInterval=10\n", 10000, 1000},
        {"too long for the timer", "[General]\nOnlineInterval=5000000\n", 2147483647, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.Ini);
        TForm1 form(Services());
        ASSERT_TRUE(form.RxTimerList1->Active());
        QStringList order;
        for (const auto& event : form.RxTimerList1->Events()) {
            order << event->Name();
            EXPECT_TRUE(event->Enabled());
            EXPECT_TRUE(event->Cycled());
        }
        EXPECT_EQ(order, (QStringList{"RxTimerEvent1", "RxTimerEvent3", "RxTimerEvent4", "RxTimerEvent2"}));
        EXPECT_EQ(form.RxTimerEvent1->Interval(), 1000);
        EXPECT_EQ(form.RxTimerEvent2->Interval(), 10000);
        EXPECT_EQ(form.RxTimerEvent3->Interval(), 1000);
        EXPECT_EQ(form.RxTimerEvent4->Interval(), c.OnlineSoundPeriod);
        EXPECT_EQ(form.RxTimerList1->TickPeriod(), c.TickPeriod);
    }
}

class RefusingTimer final : public ITimerHost
{
public:
    bool SetTimer(unsigned) override { return false; }
    void KillTimer() override {}
};

TEST_F(Unit1TrayTest, WindowStillOpensWhenNoTimerCanBeHad)
{
    TForm1Services services = Services();
    services.Timers = [](std::function<void()>) { return std::make_unique<RefusingTimer>(); };
    QStringList messages;
    SetErrorReporter([&](const QString& message) { messages << message; });
    TForm1 form(services);
    SetErrorReporter(nullptr);
    EXPECT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.front(), QStringLiteral("Not enough timers available"));
    EXPECT_FALSE(form.RxTimerList1->Active());
    ASSERT_NE(form.RxTimerEvent4, nullptr);
    EXPECT_EQ(form.RxTimerEvent4->Interval(), 60000);
}

TEST_F(Unit1TrayTest, HidesToTheTrayAndComesBackWithAClick)
{
    TForm1 form(Services());
    EXPECT_FALSE(form.windowIcon().isNull());
    ASSERT_TRUE(form.RxTrayIcon1->Registered());
    EXPECT_STREQ(Log->Calls.back().Data.szTip, "Pulo - Click to restore");
    EXPECT_FALSE(form.RxTrayIcon1->Icon().isNull());
    EXPECT_EQ(form.RxTrayIcon1->Icons().size(), 2);
    EXPECT_FALSE(form.RxTrayIcon1->Animated());

    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(form.isVisible());
    Log->Calls.clear();

    form.RxTrayIcon1->Notify(TRxTrayIcon::CallbackMessage, win::WM_LBUTTONDOWN);
    form.RxTrayIcon1->Notify(TRxTrayIcon::CallbackMessage, win::WM_LBUTTONUP);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    EXPECT_TRUE(form.RxTrayIcon1->Registered()) << "the icon stays";
    EXPECT_EQ(Log->Messages(), "");
}

TEST_F(Unit1TrayTest, ATrayHostThatGoesAwayBringsTheWindowBack)
{
    TForm1 form(Services());
    form.show();
    form.BitBtn3->click();
    ASSERT_FALSE(form.isVisible());
    form.RxTimerEvent1Timer();
    EXPECT_FALSE(form.isVisible()) << "nothing changes while the tray is there";

    Log->Available = false; // the panel restarts
    form.RxTimerEvent1Timer();
    EXPECT_TRUE(form.isVisible());
    form.RxTimerEvent1Timer();
    EXPECT_TRUE(form.isVisible());

    Log->Available = true;
    form.RxTimerEvent1Timer();
    EXPECT_FALSE(form.isVisible()) << "back in the tray";

    // A window hidden while a dialog stands in its place stays hidden without a tray.
    form.RestoreApplication();
    Log->Available = false;
    form.Configuration1->trigger();
    form.RxTimerEvent1Timer();
    EXPECT_FALSE(form.isVisible());
    form.frmConfig->btnCancel->click();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Unit1TrayTest, TheTrayMenuDoesWhatTheWindowsControlsDo)
{
    WriteIni("[General]\nSounds=0\nMaximumTime=1\nMaxTimeAlarm=1\n[Stats]\nTotTime=4000\n");
    TForm1 form(Services());
    EXPECT_EQ(form.RxTrayIcon1->PopupMenu, form.TrayMenu) << "a right click opens it";
    Q_EMIT form.TrayMenu->aboutToShow();
    EXPECT_EQ(form.TrayDial->actions().size(), 2) << "the phonebook";
    EXPECT_TRUE(form.TrayDial->isEnabled());
    form.ComboBox1->setCurrentIndex(1);
    Q_EMIT form.TrayMenu->aboutToShow();
    ASSERT_EQ(form.TrayDial->actions().size(), 2);
    EXPECT_TRUE(form.TrayDial->actions()[1]->isChecked()) << "offline: the selected entry";
    EXPECT_FALSE(form.TrayDial->actions()[0]->isChecked());
    EXPECT_FALSE(form.TrayHangUp->isEnabled());
    EXPECT_EQ(form.TrayMute->isEnabled(), form.btnAlarmOff->isEnabled()) << "as the window's Mute";

    Sim->AddLine("My ISP", "10.64.0.2");
    form.KZInternetDetect1->Poll();
    form.RxTimerEvent1Timer(); // past the time limit: red
    Q_EMIT form.TrayMenu->aboutToShow();
    EXPECT_FALSE(form.TrayDial->isEnabled());
    EXPECT_TRUE(form.TrayHangUp->isEnabled());
    EXPECT_TRUE(form.TrayMute->isEnabled()) << "the alarm sounds";
    const QList<QAction*> entries = form.TrayDial->actions();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const QAction* entry) {
        return entry->text() == QStringLiteral("My ISP") && entry->isChecked();
    }));
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("Connected to My ISP for 00:00:00\nThis period: 0.00 MB\n")))
        << Log->LongTip.toStdString();
    EXPECT_TRUE(Log->LongTip.startsWith(QStringLiteral("Pulo - Click to restore\n")));
    const int tips = Log->LongTips;
    form.ShowTrayStatus(form.PlanNow());
    EXPECT_EQ(Log->LongTips, tips) << "an unchanged tip is not sent again";

    form.TrayMute->trigger();
    EXPECT_TRUE(form.AlarmMuted);
    Sim->HungUp.clear();
    form.TrayHangUp->trigger();
    EXPECT_FALSE(Sim->HungUp.empty()) << "as Hang up";
    bool exited = false;
    QObject::connect(&form, &TForm1::Exited, &form, [&] { exited = true; });
    form.TrayExit->trigger();
    EXPECT_TRUE(exited);
}

TEST_F(Unit1TrayTest, StartupHiddenStartsInTheTrayUntilTheDialogCloses)
{
    WriteIni("[General]\nStartHidden=1\n");
    TForm1 form(Services());
    form.ShowAtStart();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.RxTrayIcon1->Registered());
    form.Configuration1->trigger();
    form.frmConfig->btnCancel->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.Settings.StartHidden) << "activation no longer hides it";
}

TEST_F(Unit1TrayTest, WithoutATrayHidingMinimisesUntilOneAppears)
{
    Log->Available = false;
    TForm1 form(Services());
    form.show();
    form.BitBtn3->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.isMinimized());

    Log->Available = true; // a tray host started after the program
    form.showNormal();
    form.BitBtn3->click();
    EXPECT_TRUE(form.RxTrayIcon1->Registered());
    EXPECT_FALSE(form.isVisible());
}

TEST(TrayImagesTest, TheIconsAreDrawnForTheScreensRatio)
{
    const QIcon still = TrayImage(ArrowAtRest, ArrowAtRest);
    const QIcon sent = TrayImage(ArrowAtRest, SentLit);
    for (const qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        const QPixmap drawn = still.pixmap(QSize(22, 22), ratio);
        EXPECT_EQ(drawn.size(), QSize(22, 22) * ratio) << "drawn at the ratio, not scaled up";
        EXPECT_EQ(drawn.devicePixelRatio(), ratio);
    }
    EXPECT_NE(still.pixmap(32, 32).toImage(), sent.pixmap(32, 32).toImage()) << "a lit arrow shows";
    EXPECT_FALSE(WindowImage().isNull());
}

// How far a drawn icon is from its SVG picture drawn at the same size: the mean difference of
// the colour channels, out of 255.
double Difference(const QImage& drawn, const QImage& picture)
{
    double sum = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = picture.pixel(x, y);
            sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) +
                   std::abs(qAlpha(a) - qAlpha(b));
        }
    return sum / (4.0 * drawn.width() * drawn.height());
}

QImage Picture(const QString& file, const QColor& down, const QColor& up, int side)
{
    QFile source(file);
    EXPECT_TRUE(source.open(QIODevice::ReadOnly)) << file.toStdString();
    QByteArray svg = source.readAll();
    svg.replace("@DOWN@", down.name().toLatin1()).replace("@UP@", up.name().toLatin1());
    QSvgRenderer renderer(svg);
    QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return picture;
}

TEST(TrayImagesTest, TheIconsAreTheirPictures)
{
    const struct
    {
        const char* Name;
        QIcon Icon;
        QString File;
        QColor Down;
        QColor Up;
    } icons[] = {
        {"window", WindowImage(), QStringLiteral(PULOPRO_ICON_SVG), {}, {}},
        {"tray at rest", TrayImage(ArrowAtRest, ArrowAtRest), QStringLiteral(PULOPRO_TRAY_SVG), ArrowAtRest,
         ArrowAtRest},
        {"tray sending", TrayImage(ArrowAtRest, SentLit), QStringLiteral(PULOPRO_TRAY_SVG), ArrowAtRest, SentLit},
        {"tray receiving", TrayImage(ReceivedLit, ArrowAtRest), QStringLiteral(PULOPRO_TRAY_SVG), ReceivedLit,
         ArrowAtRest},
    };
    for (const auto& icon : icons) {
        for (const int side : {16, 22, 32, 48, 64}) {
            SCOPED_TRACE(testing::Message() << icon.Name << " at " << side);
            const QImage drawn =
                icon.Icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            ASSERT_EQ(drawn.size(), QSize(side, side));
            EXPECT_LT(Difference(drawn, Picture(icon.File, icon.Down, icon.Up, side)), 0.25);
        }
    }
}

} // namespace
} // namespace pulo
