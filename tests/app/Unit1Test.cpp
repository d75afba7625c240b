
#include "app/AutoSizeLabel.h"
#include "app/TrayImages.h"
#include "common/ErrorBoundary.h"
#include "settings/frmConfig.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "widgets/ALed.h"
#include "widgets/RXShell.h"
#include "widgets/StringGrid.h"
#include "widgets/TimerLst.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <functional>

namespace pulo {
namespace {

using Unit1Test = test::SimPlatformTest;

using test::TextColor;

TEST_F(Unit1Test, FirstRunShowsTheRestingWindow)
{
    TForm1 form;
    TSettings defaults;
    defaults.NIC = 2; // the network card, not the loopback listed first
    EXPECT_EQ(form.Settings, defaults);
    EXPECT_EQ(form.Totals.StoredMonth, 12);
    EXPECT_EQ(form.CurrentYear, 2026);
    EXPECT_EQ(form.CurrentDay, 7);

    const struct
    {
        const char* Name;
        const char* Text;
    } labels[] = {
        {"Label1b", "             Not connected"},
        {"Label7b", "                        None active"},
        {"Label2b", "0.0.0.0"},
        {"Label4b", "0"},
        {"Label4c", "bps"},
        {"Label3b", "00:00:00"},
        {"Label5b", "0"},
        {"Label6b", "0"},
        {"Label12b", "000:00:00"},
        {"Label10b", "0"},
        {"Label11b", "0"},
        {"lbCurrentIn", "0"},
        {"lbPeakIn", "0"},
        {"lbAvgIn", "  --  "}, // the first sample carried no traffic
        {"lbCurrentOut", "0"},
        {"lbPeakOut", "0"},
        {"lbAvgOut", "  --  "},
        {"lblConnections", " Connection "},
    };
    for (const auto& l : labels) {
        SCOPED_TRACE(l.Name);
        const auto* label = form.findChild<QLabel*>(QString::fromLatin1(l.Name));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromLatin1(l.Text));
        EXPECT_EQ(TextColor(label), QColor(Qt::black));
    }

    EXPECT_EQ(form.windowTitle(), QStringLiteral(" Pulo Pro"));
    EXPECT_EQ(form.font().family(), QStringLiteral("Arial"));
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_FALSE(form.BitBtn1->isVisibleTo(&form));
    EXPECT_FALSE(form.BitBtn1->isEnabled());
    EXPECT_TRUE(form.BitBtn2->isVisibleTo(&form));
    EXPECT_TRUE(form.BitBtn2->isEnabled());
    EXPECT_TRUE(form.btnAlarmOff->isEnabled());
    EXPECT_TRUE(form.BitBtn3->isDefault());
    ASSERT_EQ(form.ComboBox1->count(), 2) << "the simulated phonebook's entries";
    EXPECT_EQ(form.ComboBox1->itemText(0), QStringLiteral("Backup ISP")) << "sorted, the first selected";
    EXPECT_EQ(form.ComboBox1->currentIndex(), 0);
}

TEST_F(Unit1Test, EveryWindowOfItsOwnCanBeLeftFromTheKeyboard)
{
    TForm1 form;
    const struct
    {
        const char* Window;
        std::function<void()> Open;
        Qt::Key Key;
    } cases[] = {
        {"frmUsage", [&] { form.Usage1Click(); }, Qt::Key_Escape},
        {"frmAbout", [&] { form.About1Click(); }, Qt::Key_Escape},
        {"frmAbout", [&] { form.About1Click(); }, Qt::Key_Return},
        {"frmAbout", [&] { form.About1Click(); }, Qt::Key_Space},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Window) + " " + QKeySequence(c.Key).toString().toStdString());
        c.Open();
        QWidget* window = test::ShownWindow(QLatin1String(c.Window));
        ASSERT_NE(window, nullptr);
        QTest::keyClick(window, c.Key);
        EXPECT_FALSE(window->isVisible());
    }
}

TEST_F(Unit1Test, ControlsCarryTheirCaptionsAndHints)
{
    TForm1 form;
    const struct
    {
        const char* Name;
        const char* Text;
        const char* Hint;
    } buttons[] = {
        {"btnReset", "Reset", "Reset all values to zero"},
        {"btnAlarmOff", "Mute", "Turn off 'Maximum' Alarm sound when active"},
        {"BitBtn3", " &Hide", "Hide and run in System Tray"},
        {"BitBtn2", "&Dial", "Dial selected External connection"},
        {"BitBtn1", "H&ang up", "Hangup active connection"},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.Name);
        const auto* button = form.findChild<QPushButton*>(QString::fromLatin1(b.Name));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromLatin1(b.Text));
        EXPECT_EQ(button->toolTip(), QString::fromLatin1(b.Hint));
    }
    EXPECT_EQ(form.Label4b->toolTip(), QStringLiteral("Connect speed not available on Win NT and 2000\r\nor with "
                                                      "non-dialup connections (ADSL, cable...)"));
    EXPECT_EQ(form.Label12b->toolTip(), QStringLiteral("Current connection\r\ntime not included"));
    EXPECT_EQ(form.ComboBox1->toolTip(), QStringLiteral("Select External connection"));

    QStringList groups;
    for (const auto* group : form.findChildren<QGroupBox*>())
        groups << group->title();
    groups.sort();
    EXPECT_EQ(groups, (QStringList{" Modem ", " Month totals ", " Speed monitor ", " Statistics ", " Status "}));

    QStringList menu;
    for (const QAction* top : form.menuBar()->actions()) {
        menu << top->text();
        for (const QAction* item : top->menu()->actions())
            menu << QStringLiteral("  ") + item->text();
    }
    EXPECT_EQ(menu, (QStringList{"&File", "  &Hide", "  E&xit", "&View", "  &Configuration", "  View &Log file",
                                 "  &Usage", "H&elp", "  C&ontents", "  &About"}));
    EXPECT_EQ(form.C1->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(Unit1Test, InterfaceGridIsHiddenWithItsHeaderRow)
{
    TForm1 form;
    EXPECT_EQ(form.findChild<TStringGrid*>(QStringLiteral("sgMIB")), form.sgMIB);
    EXPECT_EQ(form.findChild<QWidget*>(QStringLiteral("sgMIB")), nullptr) << "no widget to be shown";
    QStringList headers;
    for (int column = 0; column < form.sgMIB->ColCount(); ++column)
        headers << form.sgMIB->Cell(0, column);
    EXPECT_EQ(headers, (QStringList{"Adapter", "MAC-address", "IP-Address", "kbps in", "Peak in/sec", "Avg. in/sec",
                                    "kbps out", "Peak out/sec", "Avg. out/sec"}));
}

TEST_F(Unit1Test, MonthTotalsAndStartingColoursComeFromTheSettingsFile)
{
    const struct
    {
        const char* Name;
        const char* Ini;
        const char* Past;
        const char* SentMB;
        const char* ReceivedMB;
        const char* TimeWarning;
        const char* ReceivedWarning;
    } cases[] = {
        {"zero limits, zero totals", "[Stats]\nMonth=3\n", "000:00:00", "0", "0", "none", "none"},
        {"inactive limits of 0 never warn", "[Stats]\nTotTime=3599\nTotTMT=2500\nTotRCV=1500\n", "000:59:59", "2.5",
         "1.5", "none", "none"},
        {"active limits of 0", "[General]\nMaximumTime=1\nMaximumMB=1\n[Stats]\nTotTime=3599\nTotRCV=1500\n",
         "000:59:59", "0", "1.5", "red", "red"},
        {"100 hours", "[General]\nMaximumTime=1\nMaxTimeAlarm=200\n[Stats]\nTotTime=360000\n", "100:00:00", "0", "0",
         "none", "none"},
        {"near both limits",
         "[General]\nMaximumTime=1\nMaximumMB=1\nMaxTimeAlarm=1\nMaxMBAlarm=1\n[Stats]\nTotTime=3500\nTotRCV=960\n",
         "000:58:20", "0", "0.96", "yellow", "yellow"},
        {"at 95 % is still black",
         "[General]\nMaximumTime=1\nMaximumMB=1\nMaxTimeAlarm=1\nMaxMBAlarm=1\n[Stats]\nTotTime=3420\nTotRCV=950\n",
         "000:57:00", "0", "0.95", "none", "none"},
        {"past both limits, only the time's active",
         "[General]\nMaximumTime=1\nMaxTimeAlarm=1\nMaxMBAlarm=1\n[Stats]\nTotTime=3601\nTotRCV=1001\n", "001:00:01",
         "0", "1.001", "red", "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.Ini);
        TForm1 form;
        EXPECT_EQ(form.Label12b->text(), QString::fromLatin1(c.Past));
        EXPECT_EQ(form.Label10b->text(), QString::fromLatin1(c.SentMB));
        EXPECT_EQ(form.Label11b->text(), QString::fromLatin1(c.ReceivedMB));
        EXPECT_EQ(test::WarningOf(form.Label12b), c.TimeWarning);
        EXPECT_EQ(test::WarningOf(form.Label3b), c.TimeWarning);
        EXPECT_EQ(test::WarningOf(form.Label11b), c.ReceivedWarning);
        EXPECT_EQ(test::WarningOf(form.Label6b), c.ReceivedWarning);
        EXPECT_EQ(TextColor(form.Label10b), QColor(Qt::black));
    }
}

TEST_F(Unit1Test, StoredMonthIsKeptWhenKnown)
{
    WriteIni("[Stats]\nMonth=3\nTotCon=4\n");
    TForm1 form;
    EXPECT_EQ(form.Totals.StoredMonth, 3);
    EXPECT_EQ(form.Totals.TotCon, 4);
}

TEST_F(Unit1Test, TitleBarCloseNeverEndsTheProgramOnlyExitDoes)
{
    TForm1 form;
    QSignalSpy exited(&form, &TForm1::Exited);
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isMinimized());
    EXPECT_EQ(exited.count(), 0);

    form.BitBtn3->click();
    EXPECT_TRUE(form.isMinimized());
    EXPECT_EQ(exited.count(), 0);

    form.showNormal();
    form.move(50, 60);
    form.Exit1->trigger();
    EXPECT_EQ(form.Tag, 1);
    EXPECT_EQ(exited.count(), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(ReadIni().contains("[Placement]\nLeft=50\nTop=60\n")) << ReadIni().toStdString();

    TForm1 again;
    EXPECT_EQ(again.pos(), QPoint(50, 60)) << "the window reopens where it was left";
}

TEST_F(Unit1Test, ExitLetsTheDetectorForgetTheConnection)
{
    Sim->AddLine("My ISP", "10.64.0.2");
    TForm1 form;
    ASSERT_NE(form.KZInternetDetect1, nullptr);
    form.KZInternetDetect1->Poll();
    EXPECT_TRUE(form.KZInternetDetect1->Connected());
    form.Exit1->trigger();
    EXPECT_FALSE(form.KZInternetDetect1->Connected());
}

TEST_F(Unit1Test, SpeedMonitorShowsTheChosenInterface)
{
    WriteIni("[General]\nNIC=2\n");
    Sim->Adapters[1].InRate = 125000; // 1000 kbps
    Sim->Adapters[1].OutRate = 124;   // 0 kbps, but traffic
    TForm1 form;
    const auto cell = [&](int row, int column) { return form.sgMIB->Cell(row, column); };
    ASSERT_EQ(form.sgMIB->RowCount(), 3);
    EXPECT_EQ(cell(1, 1), QStringLiteral("00-00-00-00-00-00"));
    EXPECT_EQ(cell(1, 2), QStringLiteral("127.  0.  0.  1"));
    EXPECT_EQ(cell(2, 0), QStringLiteral("Realtek RTL8139 Family PCI Fast Ethernet NIC"));
    EXPECT_EQ(cell(2, 1), QStringLiteral("00-A0-C9-14-C8-29"));
    EXPECT_EQ(cell(2, 2), QStringLiteral("192.168.  1. 10"));
    EXPECT_FALSE(form.LedIN->Value());

    for (int second = 0; second < 3; ++second) {
        Sim->Ticks += 1000;
        form.RxTimerEvent3Timer();
    }
    EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("1000"));
    EXPECT_EQ(form.lbPeakIn->text(), QStringLiteral("1000"));
    EXPECT_EQ(form.lbAvgIn->text(), QStringLiteral("1000"));
    EXPECT_EQ(form.lbCurrentOut->text(), QStringLiteral("0"));
    EXPECT_EQ(form.lbAvgOut->text(), QStringLiteral("0"));
    EXPECT_TRUE(form.LedIN->Value());
    EXPECT_TRUE(form.LedOut->Value()) << "124 bytes still light the lamp";
    EXPECT_EQ(cell(2, 3), QStringLiteral("1000"));
    EXPECT_TRUE(form.RxTimerEvent3->Enabled());

    form.btnReset->click();
    EXPECT_EQ(form.lbAvgIn->text(), QStringLiteral("  --  "));
    EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("0"));
    EXPECT_FALSE(form.LedIN->Value());

    Sim->AddLine("My ISP", "10.64.0.2"); // the dial-up adapter appears
    Sim->Ticks += 1000;
    form.RxTimerEvent3Timer();
    EXPECT_EQ(form.sgMIB->RowCount(), 4);
    EXPECT_EQ(cell(3, 2), QStringLiteral(" 10. 64.  0.  2"));
}

TEST_F(Unit1Test, SpeedMonitorCountsAWrapAndSkipsARestart)
{
    WriteIni("[General]\nNIC=2\n");
    Sim->Adapters[1].InBase = 0xFFFFFE00ULL; // the 32-bit counter wraps within the next second
    Sim->Adapters[1].InRate = 125000;
    TForm1 form;
    Sim->Ticks += 1000;
    form.RxTimerEvent3Timer();
    EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("1000"));

    Sim->Ticks += 1000;
    Sim->RestartCounters(2); // the card was reset just now: its counter starts again from zero
    form.RxTimerEvent3Timer();
    EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("0")) << "no phantom gigabytes";
    EXPECT_EQ(form.lbPeakIn->text(), QStringLiteral("1000"));
    Sim->Ticks += 1000;
    form.RxTimerEvent3Timer();
    EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("1000")) << "counting goes on from the new baseline";
}

TEST_F(Unit1Test, ANewUserWatchesTheirNetworkCardNotTheLoopback)
{
    const struct
    {
        const char* Ini;
        std::int32_t Nic;
    } cases[] = {
        {"", 2},
        {"[General]\nNIC=1\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ini);
        WriteIni(c.Ini);
        Sim->Adapters[0].InRate = 0;
        Sim->Adapters[1].InRate = 125000;
        TForm1 form;
        EXPECT_EQ(form.Settings.NIC, c.Nic);
        Sim->Ticks += 1000;
        form.RxTimerEvent3Timer();
        EXPECT_EQ(form.lbCurrentIn->text(), c.Nic == 2 ? QStringLiteral("1000") : QStringLiteral("0"));
    }
}

TEST_F(Unit1Test, WithoutAChosenInterfaceTheSpeedMonitorFollowsTheLine)
{
    // A second card after the Ethernet one carries the default route.
    win::sim::SimAdapter wifi;
    wifi.Index = 3;
    wifi.Description = "wlan0";
    Sim->Adapters.push_back(wifi);
    Sim->DefaultRoute = 3;
    for (const bool chosen : {false, true}) {
        SCOPED_TRACE(chosen ? "NIC chosen" : "no NIC key");
        WriteIni(chosen ? "[General]\nNIC=2\n" : "");
        Sim->Adapters[1].InRate = 0;
        const int card = chosen ? 2 : 3;
        TForm1 form;
        EXPECT_EQ(form.Settings.NIC, card) << "the default route's card (or the chosen one), before any line";
        // A dial-up line comes up after the start, 50 kB/s on it.
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 0, 50'000);
        form.KZInternetDetect1->Poll();
        for (int second = 0; second < 2; ++second) {
            Sim->Ticks += 1000;
            form.RxTimerEvent3Timer();
        }
        EXPECT_EQ(form.lbCurrentIn->text(), chosen ? QStringLiteral("0") : QStringLiteral("400"));
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        Sim->Ticks += 1000;
        form.RxTimerEvent3Timer();
        EXPECT_EQ(form.Settings.NIC, card) << "back to the card once the line is gone";
        EXPECT_FALSE(QSettings(IniPath(), QSettings::IniFormat).contains("General/NIC") && !chosen)
            << "following writes nothing";
    }
}

TEST_F(Unit1Test, SpeedMonitorIgnoresARowThatIsNotThere)
{
    for (const char* nic : {"0", "3", "-1"}) {
        SCOPED_TRACE(nic);
        WriteIni(QByteArray("[General]\nNIC=") + nic + "\n");
        Sim->Adapters[0].InRate = 125000;
        Sim->Adapters[1].InRate = 125000;
        TForm1 form;
        Sim->Ticks += 1000;
        form.RxTimerEvent3Timer();
        EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("0"));
        EXPECT_EQ(form.lbAvgIn->text(), QStringLiteral("0"));
        EXPECT_FALSE(form.LedIN->Value());
    }
}

TEST_F(Unit1Test, SpeedFiguresBelongToTheirInterface)
{
    const auto tick = [&](TForm1& form) {
        Sim->Ticks += 1000;
        form.RxTimerEvent3Timer();
    };
    {
        SCOPED_TRACE("a counter reset is a restart, never a spike");
        WriteIni("[General]\nNIC=2\n");
        Sim->Adapters[1].InBase = 3500000000ULL;
        TForm1 form;
        tick(form);
        Sim->RestartCounters(2, 4000);
        tick(form);
        EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("0"));
        EXPECT_EQ(form.lbPeakIn->text(), QStringLiteral("0"));
    }
    {
        SCOPED_TRACE("rows that shift and a row that vanishes");
        WriteIni("[General]\nNIC=3\n");
        Sim->Adapters[1].InRate = 50000; // 400 kbps on the Ethernet card
        TForm1 form;
        const win::HRASCONN first = Sim->AddLine("First", "10.64.0.2");
        const win::HRASCONN second = Sim->AddLine("Second", "10.64.0.3");
        Sim->SetLineRates(first, 0, 125000); // 1000 kbps
        Sim->SetLineRates(second, 0, 25000); // 200 kbps
        tick(form);
        tick(form);
        EXPECT_EQ(form.lbPeakIn->text(), QStringLiteral("1000"));
        EXPECT_EQ(form.sgMIB->Cell(2, 4), QStringLiteral("400"));

        Sim->DropLine(first); // the second line's adapter moves up into row 3
        tick(form);
        EXPECT_EQ(form.lbCurrentIn->text(), QStringLiteral("200")) << "updated in the same tick";
        EXPECT_EQ(form.lbPeakIn->text(), QStringLiteral("200")) << "not the first line's peak";
        EXPECT_EQ(form.sgMIB->Cell(2, 5), QStringLiteral("400")) << "the card keeps its average";

        Sim->DropLine(second); // row 3 has no interface now
        tick(form);
        for (const QLabel* label : {form.lbCurrentIn, form.lbPeakIn, form.lbAvgIn})
            EXPECT_EQ(label->text(), QStringLiteral("0"));
        EXPECT_FALSE(form.LedIN->Value());
        form.btnReset->click();
        EXPECT_EQ(form.lbPeakIn->text(), QStringLiteral("0"));
        EXPECT_FALSE(form.LedIN->Value());
    }
}

TEST_F(Unit1Test, TheWindowsLampsSitOnTheirGroupsOwnColour)
{
    WriteIni("[General]\nNIC=2\n");
    Sim->Adapters[1].InRate = 125000;
    TForm1 form;
    form.show();
    const QColor surface = form.gbSpeedMonitor->palette().color(QPalette::Window);
    for (const bool lit : {false, true}) {
        SCOPED_TRACE(lit ? "lit" : "dark");
        if (lit) {
            Sim->Ticks += 1000;
            form.RxTimerEvent3Timer();
        }
        ASSERT_EQ(form.LedIN->Value(), lit);
        const QImage shown = form.LedIN->grab().toImage();
        EXPECT_EQ(shown.pixelColor(0, 0), surface);
        EXPECT_EQ(shown.pixelColor(shown.width() - 1, shown.height() - 1), surface);
        bool green = false;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                green = green || shown.pixelColor(x, y) == QColor(Qt::green);
        EXPECT_EQ(green, lit) << "the lamp's glass is lime while lit";
    }
}

TEST_F(Unit1Test, EveryValueIsReadableWithTheWidestTexts)
{
    TForm1 form;
    form.show();
    const struct
    {
        TAutoSizeLabel* Label;
        const char* Text;
    } cases[] = {
        {form.Label1b, "      Not connected"}, {form.Label2b, "192.168.100.200"},
        {form.Label3b, "125:59:59"},           {form.Label4b, "115200"},
        {form.Label5b, "4294967295"},          {form.Label6b, "4294967295"},
        {form.Label12b, "000:00:00"},          {form.Label12b, "1234:59:59"},
        {form.Label10b, "12.345678"},          {form.Label11b, "12345.678901"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const QPoint left = c.Label->pos();
        c.Label->setText(QString::fromLatin1(c.Text));
        EXPECT_EQ(c.Label->pos(), left) << "the left edge stays";
        EXPECT_GE(c.Label->contentsRect().width(), QFontMetrics(c.Label->font()).horizontalAdvance(c.Label->text()));
        EXPECT_LE(c.Label->geometry().right(), c.Label->parentWidget()->contentsRect().right()) << "inside its group";
    }
}

TEST_F(Unit1Test, StartHiddenStartsMinimisedAndHidesOnActivation)
{
    WriteIni("[General]\nStartHidden=1\n");
    TForm1 form;
    EXPECT_TRUE(form.Settings.StartHidden) << "the configuration dialog's creation read it again";
    form.ShowAtStart();
    EXPECT_TRUE(form.isMinimized()) << "no tray here: minimised";

    form.showNormal();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&form, &activate);
    EXPECT_TRUE(form.isMinimized());
}

} // namespace
} // namespace pulo
