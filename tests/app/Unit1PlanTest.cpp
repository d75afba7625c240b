// The plan through the main window: every view's figure for the period, a new billing day or
// period, the warnings and the action at the limit, and the provider's figure.

#include "app/Unit1.h"
#include "desktop/Notifications.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "tests/support/NoticeService.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/StatusReport.h"
#include "widgets/RXShell.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace pulo {
namespace {

using Unit1PlanTest = test::Unit1TrayTest;
using test::ShownWindow;
using test::TextColor;

TEST_F(Unit1PlanTest, EveryViewGivesTheSameFigureForThisPeriod)
{
    // Each row: the settings file, then a connection of 10 s at 100 kB/s received and 10 kB/s sent
    // on 8 December (the tests' clock); what every view says this period counts.
    const struct
    {
        const char* Name;
        const char* Ini;
        const char* ReceivedMB; // the main window's month label while connected
        std::int64_t Counted;   // bytes
        const char* Tip;        // the tip's period line
        bool ForecastNotice;
        std::int64_t UsedToday; // the connection's own: nothing else today
        const char* Allowance;  // what was left this morning over the 24 days left
    } cases[] = {
        {"the first connection of a new period, last period's totals near the limit",
         "[General]\nMaximumMB=1\nMaxMBAlarm=20000\n[Stats]\nMonth=11\nTotCon=40\nTotRCV=19500000\n", "1", 1'000'000,
         "This period: 0.001 GB of 20.0 GB", false, 1'000'000, "you can use 833 MB a day for the next 24 days"},
        {"this period's totals", "[General]\nMaximumMB=1\nMaxMBAlarm=20\n[Stats]\nMonth=12\nTotCon=2\nTotRCV=5000\n",
         "6", 6'000'000, "This period: 6.00 MB of 20.0 MB", true, 1'000'000,
         "you can use 0.625 MB a day for the next 24 days"},
        {"sent and received counted",
         "[General]\nMaximumMB=1\nMaxMBAlarm=20\nQuotaCounts=both\n[Stats]\nMonth=12\nTotRCV=5000\nTotTMT=500\n", "6",
         6'600'000, "This period: 6.60 MB of 20.0 MB", true, 1'100'000,
         "you can use 0.604 MB a day for the next 24 days"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(QByteArray("[General]\nSounds=0\n") + QByteArray(c.Ini).replace("[General]\n", ""));
        Log->Balloons.clear();
        // Each row on a history of its own (a new history takes the log in: the log goes too).
        for (const char* file : {"pulopro.sqlite", "pulopro.sqlite-wal", "pulopro.sqlite-shm", "pulopro.log"})
            QFile::remove(Folder->filePath(QLatin1String(file)));
        Sim->SetNow(2026, 12, 8, 12, 0, 0);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 10'000, 100'000);
        form.KZInternetDetect1->Poll();
        // The history is ready by the first tick, a second after start (these ticks come faster).
        ASSERT_TRUE(form.FlushHistory(5000));
        Run(form, 10);
        EXPECT_EQ(form.Label11b->text(), QString::fromLatin1(c.ReceivedMB));
        // Where the limit counts another figure than the received megabytes, the window says so.
        auto* planFigure = form.findChild<QLabel*>(QStringLiteral("PlanFigure"));
        const bool otherFigure = c.Counted != QString::fromLatin1(c.ReceivedMB).toLongLong() * 1'000'000;
        EXPECT_EQ(planFigure->isVisibleTo(&form), otherFigure);
        if (otherFigure) {
            EXPECT_EQ(planFigure->text(), QString::number(static_cast<double>(c.Counted) / 1e6));
        }
        EXPECT_TRUE(Log->LongTip.contains(QString::fromLatin1(c.Tip))) << Log->LongTip.toStdString();
        // What --json says while this copy runs.
        const TStatusReport live = form.LiveReport();
        EXPECT_EQ(live.Plan.Counted, c.Counted);
        EXPECT_TRUE(live.Plan.WithinLimit());
        EXPECT_EQ(ReportJson(live)[QStringLiteral("countedBytes")].toInteger(), c.Counted);
        EXPECT_EQ(ReportJson(live)[QStringLiteral("usedTodayBytes")].toInteger(), c.UsedToday);
        EXPECT_TRUE(ReportLine(live).contains(QString::fromLatin1(c.Allowance))) << ReportLine(live).toStdString();
        // The Usage window's summary: the tip's figure, word for word.
        form.Usage1Click();
        const QString summary =
            ShownWindow(QStringLiteral("frmUsage"))->findChild<QLabel*>(QStringLiteral("lblSummary"))->text();
        EXPECT_TRUE(summary.contains(QString::fromLatin1(c.Tip).mid(QStringLiteral("This period: ").size())))
            << summary.toStdString();
        // In short lines; the connection in progress has no end yet.
        EXPECT_TRUE(summary.contains(QStringLiteral(" \u00B7 24 days left \u00B7 "))) << summary.toStdString();
        auto* connections =
            ShownWindow(QStringLiteral("frmUsage"))->findChild<QTableWidget*>(QStringLiteral("tblConnections"));
        ASSERT_EQ(connections->rowCount(), 1);
        EXPECT_EQ(connections->item(0, 1)->text(), QStringLiteral("in progress"));
        EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Download limit ahead")).size(), c.ForecastNotice ? 1 : 0)
            << Log->Balloons.join('\n').toStdString();
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
    }
}

TEST_F(Unit1PlanTest, ANewBillingDayOrANewPeriodLosesNothingAndStartsWhereItShould)
{
    // A calendar month's totals, and a history that knows the connections behind them.
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\n[Stats]\nMonth=12\nTotCon=2\nTotRCV=5000\n"
             "TotTMT=50\nTotTime=1200\n");
    {
        THistoryStore store(Folder->filePath(QStringLiteral("pulopro.sqlite")));
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        ASSERT_TRUE(store.AddImported({}));
        for (const auto& [day, received] : {std::pair{20, 2'000'000}, {1, 3'000'000}, {5, 2'000'000}}) {
            const QDateTime start(QDate(2026, day == 20 ? 11 : 12, day), QTime(10, 0));
            const std::int64_t id = store.BeginConnection(start, QStringLiteral("My ISP"), QString());
            ASSERT_TRUE(store.UpdateConnection(id, start.addSecs(600), 25'000, received, true));
        }
    }
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    TForm1 form(Services());
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("5"));

    // The billing day becomes the 15th: the period is now 15 November to 14 December.
    form.Plan.BillingDay = 15;
    Run(form, 1);
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("7")) << "all three connections of the period it now names";
    EXPECT_EQ(form.LiveReport().Plan.Received, 7'000'000);
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("This period: 7.00 MB of 10.0 MB"))) << Log->LongTip.toStdString();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "3");
    EXPECT_EQ(ini.value("Stats/Month").toString(), "11");
    EXPECT_EQ(TextColor(form.Label11b), QColor(Qt::black));

    // Offline across the next billing day: at that second the period starts at zero.
    Sim->SetNow(2026, 12, 14, 23, 59, 59);
    Run(form, 1);
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("0"));
    EXPECT_EQ(form.LiveReport().Plan.Counted, 0);
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("This period: 0.00 MB of 10.0 MB"))) << Log->LongTip.toStdString();
}

TEST_F(Unit1PlanTest, AConnectionAcrossTheBillingDayCountsInThePeriodItBeganIn)
{
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\n[Stats]\nMonth=11\nTotCon=1\nTotRCV=1000\n");
    Sim->SetNow(2026, 11, 30, 23, 59, 50);
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 0, 100'000);
    form.KZInternetDetect1->Poll();
    Run(form, 5);
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("1.5")) << "November's total and the connection";
    EXPECT_EQ(form.LiveReport().Plan.Received, 1'500'000);
    Run(form, 10); // past midnight: December
    const TStatusReport live = form.LiveReport();
    EXPECT_EQ(live.Plan.Period.First, QDate(2026, 12, 1));
    EXPECT_EQ(live.Plan.Received, 0) << "the connection counts in November, at its end";
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("0")) << "the window says what --json says";
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("This period: 0.00 MB of 10.0 MB"))) << Log->LongTip.toStdString();
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/Month").toString(), "11");
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "2");
}

TEST_F(Unit1PlanTest, EachThresholdIsToldOnceAPeriodAcrossARestartAndTheLimitCanHangUp)
{
    // 7 MB of a 10 MB limit counted; a line at 100 kB/s received.
    for (const bool dialUp : {true, false}) {
        SCOPED_TRACE(dialUp ? "a dial-up line" : "a line the program does not dial (a VPN)");
        for (const char* ending : {"", "-wal", "-shm"})
            QFile::remove(Folder->filePath(QStringLiteral("pulopro.sqlite") + QLatin1String(ending)));
        WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nHangUpAtLimit=1\nAllowanceNotice=0\n"
                 "[Stats]\nMonth=12\nTotCon=1\nTotRCV=7000\n");
        Sim->SetNow(2026, 12, 8, 12, 0, 0);
        Log->Balloons.clear();
        const auto lineUp = [&](TForm1& form) {
            const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
            Sim->FindLine(line)->DialUp = dialUp;
            Sim->SetLineRates(line, 0, 100'000);
            form.KZInternetDetect1->Poll();
            return line;
        };
        {
            TForm1 form(Services());
            ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
            const win::HRASCONN line = lineUp(form);
            Run(form, 21); // 9.1 MB: 80 % and 90 % passed
            Sim->DropLine(line);
            form.KZInternetDetect1->Poll();
            ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
        }
        EXPECT_EQ(Log->Balloons.filter(QStringLiteral("% of the limit")),
                  (QStringList{"Download at 80 % of the limit / 8.00 MB of 10.0 MB this period. At this pace the limit "
                               "is reached on 10 December.",
                               "Download at 90 % of the limit / 9.00 MB of 10.0 MB this period. At this pace the limit "
                               "is reached tomorrow."}))
            << Log->Balloons.join('\n').toStdString();
        Log->Balloons.clear();
        Sim->HungUp.clear(); // the end of the first line

        // Started again: nothing told twice; the limit passed is told, and hangs up a dial-up line.
        TForm1 form(Services());
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
        const win::HRASCONN line = lineUp(form);
        // The tray's icon shows a passed limit at a glance: a red mark in its top right corner.
        const auto marked = [&] {
            const QColor corner = form.RxTrayIcon1->Icon().pixmap(32, 32).toImage().pixelColor(27, 4);
            return corner.red() > 180 && corner.green() < 60 && corner.alpha() > 200;
        };
        Run(form, 5);
        EXPECT_TRUE(Log->Balloons.filter(QStringLiteral("% of the limit")).isEmpty()) << "given before the restart";
        EXPECT_FALSE(marked());
        Run(form, 10);
        EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Download past the limit")).size(), 1);
        EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Hung up at the download limit")).size(), dialUp ? 1 : 0);
        EXPECT_EQ(std::count(Sim->HungUp.begin(), Sim->HungUp.end(), line) > 0, dialUp);
        if (dialUp) {
            // Past the limit a dial asks first; "no" dials nothing.
            Sim->DropLine(line);
            form.KZInternetDetect1->Poll();
            QStringList asked;
            form.Confirm = [&](const QString& text) {
                asked << text;
                return false;
            };
            form.BitBtn2Click();
            EXPECT_EQ(asked.size(), 1);
            EXPECT_FALSE(form.BitBtn1->isEnabled()) << "no dial started";
        } else {
            Sim->DropLine(line);
            form.KZInternetDetect1->Poll();
        }
        Run(form, 1);
        EXPECT_TRUE(marked()) << "offline too, until the period ends";
        Sim->HungUp.clear();
    }
}

TEST_F(Unit1PlanTest, WarningsDueAtOneMomentMakeOneNotification)
{
    // Started online at 91 % of the limit: the forecast, 80 % and 90 % are all due at the first
    // moment; one notification, the most pressing, says all of it.
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nAllowanceNotice=0\n[Stats]\nMonth=12\nTotCon=1\n"
             "TotRCV=9100\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    Log->Balloons.clear();
    TForm1 form(Services());
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 0, 20'000);
    form.KZInternetDetect1->Poll();
    Run(form, 3);
    EXPECT_EQ(Log->Balloons.filter(QStringLiteral("limit")),
              QStringList{"Download at 90 % of the limit / 9.12 MB of 10.0 MB this period. At this pace the limit is "
                          "reached tomorrow."})
        << Log->Balloons.join('\n').toStdString();
}

TEST_F(Unit1PlanTest, ANoticesButtonDoesWhatItSaysInTheWindow)
{
    // On a desktop whose notifications carry buttons, pressing one of a plan notice's acts on the
    // running window as its own control would.
    const struct
    {
        const char* Name;
        const char* Settings;
        const char* Button;
        const char* Key;
    } cases[] = {
        {"Open Usage on the notice at 90 %",
         "[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nAllowanceNotice=0\n[Stats]\nMonth=12\nTotCon=1\n"
         "TotRCV=9100\n",
         "Open Usage", "usage"},
        {"Hang up on the notice past the limit",
         "[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nAllowanceNotice=0\n[Stats]\nMonth=12\nTotCon=1\n"
         "TotRCV=11000\n",
         "Hang up", "hangup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::TNoticeService notices;
        if (const QString why = notices.StartBus(); !why.isEmpty())
            GTEST_SKIP() << "skipped: " << why.toStdString();
        if (!notices.StartService(QStringLiteral("body actions")))
            GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
        WriteIni(c.Settings);
        Sim->SetNow(2026, 12, 8, 12, 0, 0);
        Sim->HungUp.clear();
        TForm1Services services = Services();
        services.Notifier = [&] { return std::make_unique<TNotifier>(notices.Bus()); };
        TForm1 form(services);
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->FindLine(line)->DialUp = true;
        Sim->SetLineRates(line, 0, 20'000);
        form.KZInternetDetect1->Poll();
        // The notices go out in turn; the desktop numbers them from 1.
        int id = 0;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                Run(form, 1);
                const QStringList calls = notices.Calls();
                for (int i = 0; i < calls.size() && id == 0; ++i)
                    if (calls[i].contains(QLatin1String(c.Button)))
                        id = i + 1;
                return id != 0;
            },
            10000))
            << notices.Calls().join('\n').toStdString();
        EXPECT_EQ(ShownWindow(QStringLiteral("frmUsage")), nullptr);
        EXPECT_TRUE(Sim->HungUp.empty());
        ASSERT_TRUE(notices.PressAction(static_cast<unsigned>(id), QLatin1String(c.Key)));
        if (std::string(c.Key) == "usage") {
            EXPECT_TRUE(QTest::qWaitFor([] { return ShownWindow(QStringLiteral("frmUsage")) != nullptr; }, 5000));
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !Sim->HungUp.empty(); }, 5000));
            // As the window's own Hang up does it (which asks twice, as it always has).
            EXPECT_TRUE(
                std::all_of(Sim->HungUp.begin(), Sim->HungUp.end(), [&](win::HRASCONN h) { return h == line; }));
        }
    }
}

TEST_F(Unit1PlanTest, TheHangUpAtTheLimitIsDueForEachDialUpLineUpPastIt)
{
    // 11 MB of a 10 MB limit counted before any line comes up.
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nHangUpAtLimit=1\nAllowanceNotice=0\n"
             "[Stats]\nMonth=12\nTotCon=1\nTotRCV=11000\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    TForm1 form(Services());
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    const struct
    {
        const char* Name;
        bool DialUp;
        bool HungUp;
    } lines[] = {
        {"a VPN past the limit stays up", false, false},
        {"a modem line dialled after it is hung up", true, true},
        {"and the next one too", true, true},
    };
    int hungUp = 0;
    for (const auto& l : lines) {
        SCOPED_TRACE(l.Name);
        Sim->HungUp.clear();
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->FindLine(line)->DialUp = l.DialUp;
        form.KZInternetDetect1->Poll();
        ASSERT_TRUE(form.IsOnline());
        Run(form, 3);
        EXPECT_EQ(std::count(Sim->HungUp.begin(), Sim->HungUp.end(), line) > 0, l.HungUp);
        hungUp += l.HungUp ? 1 : 0;
        EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Hung up at the download limit")).size(), hungUp);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
    }
    EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Download past the limit")).size(), 1) << "told once a period";
}

TEST_F(Unit1PlanTest, TheProvidersFigureMovesEveryViewAndOutlivesARestart)
{
    // 3 MB of a 10 MB limit counted; the provider says 9.6 MB.
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\n[Stats]\nMonth=12\nTotCon=1\nTotRCV=3000\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    {
        TForm1 form(Services());
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
        Run(form, 1);
        EXPECT_EQ(TextColor(form.Label11b), TextColor(form.Label10b)) << "3 MB: no warning colour";
        // The figure starts at what PuloPro counts; a change is taken with OK, never with Cancel.
        for (const char* button : {"btnCancel", "btnSave"}) {
            SCOPED_TRACE(button);
            form.Configuration1Click();
            QWidget* dialog = ShownWindow(QStringLiteral("frmConfig"));
            ASSERT_NE(dialog, nullptr);
            auto* figure = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinProviderFigure"));
            EXPECT_EQ(dialog->findChild<QComboBox*>(QStringLiteral("ComboProviderUnit"))->currentText(), "MB");
            EXPECT_DOUBLE_EQ(figure->value(), 3.0) << "what PuloPro counts";
            figure->setValue(9.6);
            dialog->findChild<QPushButton*>(QLatin1String(button))->click();
            Run(form, 1);
        }
        EXPECT_EQ(ReportJson(form.LiveReport())[QStringLiteral("countedBytes")].toInteger(), 9'600'000);
        EXPECT_EQ(ReportJson(form.LiveReport())[QStringLiteral("correctionBytes")].toInteger(), 6'600'000);
        EXPECT_EQ(test::WarningOf(form.Label11b), "yellow") << "96 % of the limit";
        EXPECT_EQ(form.Label11b->text(), QStringLiteral("3")) << "the month totals stay the program's own";
        // ... and the figure the limit counts is shown below them, without hovering, with its reason.
        auto* planFigure = form.findChild<QLabel*>(QStringLiteral("PlanFigure"));
        ASSERT_TRUE(planFigure->isVisibleTo(&form));
        EXPECT_EQ(planFigure->text(), QStringLiteral("9.6"));
        EXPECT_EQ(test::WarningOf(planFigure), "yellow");
        EXPECT_TRUE(planFigure->toolTip().contains(QStringLiteral("provider's figure of 8 Dec 2026 (9.60 MB)")))
            << planFigure->toolTip().toStdString();
        const QRect group = form.gbMonthTotals->geometry();
        EXPECT_TRUE(group.contains(planFigure->mapTo(form.centralWidget(), planFigure->rect().bottomLeft())));
        EXPECT_FALSE(group.intersects(form.btnAlarmOff->geometry()));
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    }
    // Started again: the history still has it; taken back in the Usage window, it is gone.
    TForm1 form(Services());
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    Run(form, 1);
    EXPECT_EQ(form.LiveReport().Plan.Counted, 9'600'000);
    form.Usage1Click();
    auto* corrections =
        ShownWindow(QStringLiteral("frmUsage"))->findChild<QTableWidget*>(QStringLiteral("tblCorrections"));
    ASSERT_EQ(corrections->rowCount(), 1);
    EXPECT_EQ(corrections->item(0, 3)->text(), QStringLiteral("+6.60 MB"));
    corrections->selectRow(0);
    ShownWindow(QStringLiteral("frmUsage"))->findChild<QPushButton*>(QStringLiteral("btnRemoveCorrection"))->click();
    EXPECT_EQ(form.LiveReport().Plan.Counted, 3'000'000);
    EXPECT_FALSE(form.findChild<QLabel*>(QStringLiteral("PlanFigure"))->isVisibleTo(&form)) << "the same figure again";
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    THistoryStore reader(Folder->filePath(QStringLiteral("pulopro.sqlite")));
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    EXPECT_TRUE(reader.Adjustments(QDate(2026, 12, 1)).empty());
}

TEST_F(Unit1PlanTest, APackAddedWhileConnectedCountsFromThenInEveryViewAndOutlivesRestartAndItsEnd)
{
    // 9 MB of a 10 MB limit, a line up at 100 kB/s; a 5 MB pack to the 20th bought at noon of the 10th.
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\nAllowanceNotice=0\n[Stats]\nMonth=12\nTotCon=1\n"
             "TotRCV=9000\n");
    Sim->SetNow(2026, 12, 10, 12, 0, 0);
    auto form = std::make_unique<TForm1>(Services());
    ASSERT_TRUE(form->FlushHistory(5000));
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 0, 100'000);
    form->KZInternetDetect1->Poll();
    Run(*form, 2);
    const std::int64_t before = form->LiveReport().Plan.Counted;
    form->AddPack(5'000'000, QDate(2026, 12, 20));
    Run(*form, 10);
    const TStatusReport live = form->LiveReport();
    const std::int64_t since = live.Plan.Counted - before;
    EXPECT_NEAR(static_cast<double>(since), 1e6, 2e5);
    EXPECT_EQ(live.Plan.Limit, 15'000'000);
    ASSERT_EQ(live.Plan.PackUses.size(), 1U);
    EXPECT_EQ(live.Plan.PackUses[0].Left, 5'000'000 - since) << "what came after it was bought is the pack's";
    EXPECT_TRUE(Log->LongTip.contains(QStringLiteral("of 15.0 MB"))) << Log->LongTip.toStdString();
    EXPECT_TRUE(ReportLine(live).contains(QStringLiteral("packs: 5.00 MB to 20 December, ")))
        << ReportLine(live).toStdString();

    // The line ends and the program starts again: the pack is the history's, with what is left.
    Sim->DropLine(line);
    form->KZInternetDetect1->Poll();
    ASSERT_TRUE(form->FlushHistory(5000));
    const std::int64_t left = form->LiveReport().Plan.PackUses.at(0).Left;
    form.reset();
    form = std::make_unique<TForm1>(Services());
    ASSERT_TRUE(form->FlushHistory(5000));
    Run(*form, 1);
    ASSERT_EQ(form->LiveReport().Plan.PackUses.size(), 1U);
    EXPECT_EQ(form->LiveReport().Plan.PackUses[0].Left, left);
    EXPECT_EQ(form->LiveReport().Plan.Limit, 15'000'000);

    // Past its last day it is over: what it covered stays allowed, the rest is gone.
    Sim->SetNow(2026, 12, 21, 9, 0, 0);
    Run(*form, 1);
    const TPlanStatus over = form->LiveReport().Plan;
    ASSERT_EQ(over.PackUses.size(), 1U);
    EXPECT_TRUE(over.PackUses[0].Ended);
    EXPECT_EQ(over.Limit, 10'000'000 + (5'000'000 - left));

    // Taken back on the Usage window's Corrections tab, also for the next start.
    form->Usage1Click();
    QWidget* window = ShownWindow(QStringLiteral("frmUsage"));
    ASSERT_NE(window, nullptr);
    auto* packs = window->findChild<QTableWidget*>(QStringLiteral("tblPacks"));
    ASSERT_NE(packs, nullptr);
    ASSERT_EQ(packs->rowCount(), 1);
    EXPECT_EQ(packs->item(0, 3)->text(), QStringLiteral("ended"));
    packs->selectRow(0);
    window->findChild<QPushButton*>(QStringLiteral("btnRemovePack"))->click();
    EXPECT_TRUE(form->LiveReport().Plan.Packs.empty());
    EXPECT_EQ(form->LiveReport().Plan.Limit, 10'000'000);
    ASSERT_TRUE(form->FlushHistory(5000));
    form.reset();
    form = std::make_unique<TForm1>(Services());
    ASSERT_TRUE(form->FlushHistory(5000));
    Run(*form, 1);
    EXPECT_TRUE(form->LiveReport().Plan.Packs.empty());
}

} // namespace
} // namespace pulo
