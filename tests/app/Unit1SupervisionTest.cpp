#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "platform/Mmsystem.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "usage/StatusReport.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace pulo {
namespace {

class Unit1SupervisionTest : public test::Unit1TrayTest
{
protected:
    // Moves the clock on by whole seconds, one supervision tick each.
    void Run(TForm1& form, int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            Sim->Ticks += 1000;
            const win::SYSTEMTIME now = Sim->Now;
            const QDateTime next =
                QDateTime(QDate(now.wYear, now.wMonth, now.wDay), QTime(now.wHour, now.wMinute, now.wSecond))
                    .addSecs(1);
            Sim->SetNow(next.date().year(), next.date().month(), next.date().day(), next.time().hour(),
                        next.time().minute(), next.time().second());
            form.RxTimerEvent1Timer();
        }
    }
};

using test::TextColor;

// The Usage window the main window opened, as a user's tools find it.
QWidget* UsageWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("frmUsage") && window->isVisible())
            return window;
    return nullptr;
}

TEST_F(Unit1SupervisionTest, TimeOnlineWarnsNearAndPastTheLimitAndTheAlarmRepeatsUntilMuted)
{
    WriteIni("[General]\nMaximumTime=1\nMaxTimeAlarm=10\nSounds=0\n[Stats]\nTotTime=34000\n");
    TForm1 form(Services());
    Sim->AddLine("My ISP", "10.64.0.2");
    form.KZInternetDetect1->Poll();
    Run(form, 198);
    EXPECT_EQ(form.Label3b->text(), QStringLiteral("00:03:18"));
    EXPECT_EQ(TextColor(form.Label3b), QColor(Qt::black));
    Run(form, 3);
    EXPECT_EQ(TextColor(form.Label3b), QColor(Qt::yellow)) << "past 34200 s";
    form.RxTimerEvent2Timer();
    EXPECT_TRUE(test::SoundsPlayed(*Sim).isEmpty()) << "yellow does not alarm";
    Run(form, 1800);
    EXPECT_EQ(TextColor(form.Label3b), QColor(Qt::red)) << "past 36000 s";
    form.RxTimerEvent2Timer();
    form.RxTimerEvent2Timer();
    EXPECT_EQ(test::SoundsPlayed(*Sim), (QStringList{"Maximum.wav", "Maximum.wav"})) << "whatever the Sounds setting";

    form.btnAlarmOff->click();
    EXPECT_EQ(form.btnAlarmOff->text(), QStringLiteral("Muted"));
    EXPECT_FALSE(form.btnAlarmOff->isEnabled());
    form.RxTimerEvent2Timer();
    EXPECT_EQ(test::SoundsPlayed(*Sim).size(), 2);
}

TEST_F(Unit1SupervisionTest, BytesFollowTheLineAndCountAtItsEnd)
{
    WriteIni("[General]\nSounds=0\n[Stats]\nTotTMT=1000\nTotRCV=2000\n");
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 1000, 5000);
    form.KZInternetDetect1->Poll();
    Run(form, 10);
    EXPECT_EQ(form.Label5b->text(), QStringLiteral("10000"));
    EXPECT_EQ(form.Label6b->text(), QStringLiteral("50000"));
    EXPECT_EQ(form.Label10b->text(), QStringLiteral("1.01"));
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("2.05"));
    EXPECT_EQ(form.Label4b->text(), QStringLiteral("    N/A"));
    EXPECT_EQ(form.Label4c->text(), QString());

    // The supervision notices the end before the detector does: the bytes still count.
    Sim->DropLine(line);
    Run(form, 1);
    form.KZInternetDetect1->Poll();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotTMT").toString(), "1010");
    EXPECT_EQ(ini.value("Stats/TotRCV").toString(), "2050");
}

TEST_F(Unit1SupervisionTest, ASessionPastFourGigabytesKeepsItsFiguresToTheTotals)
{
    WriteIni("[General]\nSounds=0\n");
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("Mobile", "10.64.0.2");
    Sim->SetLineRates(line, 1e9, 1.7e9);
    form.KZInternetDetect1->Poll();
    Run(form, 3);
    EXPECT_EQ(form.Label5b->text(), QStringLiteral("3000000000"));
    EXPECT_EQ(form.Label6b->text(), QStringLiteral("5100000000"));
    EXPECT_EQ(form.Label11b->text(), QStringLiteral("5100"));
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotRCV").toString(), "5100000");
    EXPECT_EQ(ini.value("Stats/TotTMT").toString(), "3000000");
}

TEST_F(Unit1SupervisionTest, ALimitThatCountsBothWaysCountsWhatWasSent)
{
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=4\nQuotaCounts=both\n[Stats]\nTotRCV=1000\nTotTMT=1000\n");
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 1e6, 0);
    form.KZInternetDetect1->Poll();
    Run(form, 3);
    EXPECT_EQ(TextColor(form.Label11b), QColor(Qt::red)) << "2 MB stored and 3 MB sent pass 4 MB";
    Sim->DropLine(line);
}

TEST_F(Unit1SupervisionTest, TheDownloadLimitCountsTheConnectionInProgress)
{
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=4\n[Stats]\nTotRCV=1000\n");
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 0, 1e6);
    form.KZInternetDetect1->Poll();
    Run(form, 2);
    EXPECT_EQ(TextColor(form.Label11b), QColor(Qt::black)) << "3 MB of 4";
    Run(form, 1);
    EXPECT_EQ(TextColor(form.Label11b), QColor(Qt::yellow)) << "4 MB is near, not past";
    Run(form, 1);
    EXPECT_EQ(TextColor(form.Label11b), QColor(Qt::red)) << "5 MB with the running connection";
    form.RxTimerEvent2Timer();
    EXPECT_EQ(test::SoundsPlayed(*Sim), QStringList{"Maximum.wav"});
    Sim->DropLine(line);
}

TEST_F(Unit1SupervisionTest, TheHistoryHoldsTheConnectionEveryFiveMinutesAndAtItsEnd)
{
    WriteIni("[General]\nSounds=0\n");
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    Sim->SetLineRates(line, 100, 1000);
    form.KZInternetDetect1->Poll();
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    THistoryStore reader(Folder->filePath(QStringLiteral("pulopro.sqlite")));
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    Run(form, 299);
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    EXPECT_EQ(reader.Current()->Seconds, 0) << "not yet five minutes";
    Run(form, 2);
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    const std::optional<TUsageConnection> current = reader.Current();
    ASSERT_TRUE(current.has_value()) << "what a crash now would leave";
    EXPECT_GE(current->Seconds, 300);
    EXPECT_GE(current->Received, 300000);
    EXPECT_EQ(current->Entry, QStringLiteral("My ISP"));

    Run(form, 99);
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    const auto rows =
        reader.Connections(QDateTime::currentDateTime().addYears(-5), QDateTime::currentDateTime().addYears(5));
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_FALSE(rows[0].InProgress);
    EXPECT_EQ(rows[0].Received, 400000);
}

TEST_F(Unit1SupervisionTest, AHistoryThatCannotBeOpenedIsToldOnceWithoutABoxAndTheFilesGoOn)
{
    ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.sqlite")));
    QStringList boxes;
    SetErrorReporter([&](const QString& message) { boxes << message; });
    TForm1Services services = Services();
    services.HistoryRetryMs = 5;
    TForm1 form(services);
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    form.KZInternetDetect1->Poll();
    Run(form, 400);
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    (void)QTest::qWaitFor([&] { return !Log->Balloons.isEmpty(); });
    for (int i = 0; i < 20; ++i) // tried again and again meanwhile, told once
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    SetErrorReporter(nullptr);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
    const QStringList notices = Log->Balloons.filter(QStringLiteral("Usage history / "));
    ASSERT_EQ(notices.size(), 1) << Log->Balloons.join('\n').toStdString();
    EXPECT_TRUE(notices[0].contains(QStringLiteral("not a regular file"))) << notices[0].toStdString();
    form.Usage1Click();
    ASSERT_NE(UsageWindow(), nullptr);
    EXPECT_TRUE(UsageWindow()
                    ->findChild<QLabel*>(QStringLiteral("lblSummary"))
                    ->text()
                    .contains(QStringLiteral("not a regular file")))
        << "and a line in the Usage window";
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
}

TEST_F(Unit1SupervisionTest, ABusyHistoryNeverHoldsUpTheWindowAndCatchesUpAfterwards)
{
    WriteIni("[General]\nSounds=0\n");
    TForm1Services services = Services();
    services.HistoryRetryMs = 20;
    TForm1 form(services);
    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    {
        // Another program takes the history and keeps it across a whole connection.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        other.setDatabaseName(Folder->filePath(QStringLiteral("pulopro.sqlite")));
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        qint64 longest = 0;
        const auto timed = [&](const std::function<void()>& step) {
            QElapsedTimer timer;
            timer.start();
            step();
            longest = std::max(longest, timer.elapsed());
        };
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 10, 1000);
        timed([&] { form.KZInternetDetect1->Poll(); });
        for (int i = 0; i < 400; ++i)
            timed([&] { Run(form, 1); });
        Sim->DropLine(line);
        timed([&] { form.KZInternetDetect1->Poll(); });
        EXPECT_LT(longest, 100) << "milliseconds the window's thread waited at most";
        EXPECT_FALSE(form.UsageRecorder()->Flush(0)) << "the history still waits";
        ASSERT_TRUE(hold.exec(QStringLiteral("COMMIT")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000)) << form.UsageRecorder()->Problem().toStdString();
    THistoryStore reader(Folder->filePath(QStringLiteral("pulopro.sqlite")));
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    const auto rows =
        reader.Connections(QDateTime::currentDateTime().addYears(-5), QDateTime::currentDateTime().addYears(5));
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_FALSE(rows[0].InProgress);
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_GE(rows[0].Seconds, 400);
    EXPECT_GE(rows[0].Received, 400000);
    EXPECT_EQ(rows[0].Received, std::llround(ini.value("Stats/TotRCV").toDouble() * 1000)) << "as the month counted it";
}

TEST_F(Unit1SupervisionTest, AFullDiskDelaysTheHistoryAndItCatchesUpOnceThereIsRoom)
{
    // A small filesystem of the test's own, in a mount namespace of its own (needs root).
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "skipped: a filesystem of the test's own needs root";
    QTemporaryDir small;
    ASSERT_EQ(::mount("tmpfs", small.path().toLocal8Bit().constData(), "tmpfs", 0, "size=2m"), 0);
    Sim->ModulePath = small.filePath(QStringLiteral("pulopro")).toStdString();
    QStringList boxes;
    SetErrorReporter([&](const QString& message) { boxes << message; });
    {
        TForm1Services services = Services();
        services.HistoryRetryMs = 20;
        TForm1 form(services);
        ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
        // The disk fills up while a connection runs and ends.
        QFile filler(small.filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 0, 1000);
        form.KZInternetDetect1->Poll();
        Run(form, 30);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        EXPECT_FALSE(form.UsageRecorder()->Flush(300)) << "nothing could be written";
        // Room again.
        filler.close();
        ASSERT_TRUE(filler.remove());
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000)) << form.UsageRecorder()->Problem().toStdString();
    }
    SetErrorReporter(nullptr);
    THistoryStore reader(small.filePath(QStringLiteral("pulopro.sqlite")));
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    const auto rows =
        reader.Connections(QDateTime::currentDateTime().addYears(-5), QDateTime::currentDateTime().addYears(5));
    ASSERT_EQ(rows.size(), 1U) << "the connection is in the history";
    EXPECT_FALSE(rows[0].InProgress);
    EXPECT_GE(rows[0].Received, 30000);
    ::umount2(small.path().toLocal8Bit().constData(), MNT_DETACH);
}

TEST_F(Unit1SupervisionTest, EveryViewGivesTheSameFigureForThisPeriod)
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
        Run(form, 10);
        EXPECT_EQ(form.Label11b->text(), QString::fromLatin1(c.ReceivedMB));
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
        const QString summary = UsageWindow()->findChild<QLabel*>(QStringLiteral("lblSummary"))->text();
        EXPECT_TRUE(summary.contains(QString::fromLatin1(c.Tip).mid(QStringLiteral("This period: ").size())))
            << summary.toStdString();
        EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Download limit ahead")).size(), c.ForecastNotice ? 1 : 0)
            << Log->Balloons.join('\n').toStdString();
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
    }
}

TEST_F(Unit1SupervisionTest, ANewBillingDayOrANewPeriodLosesNothingAndStartsWhereItShould)
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

TEST_F(Unit1SupervisionTest, AConnectionAcrossTheBillingDayCountsInThePeriodItBeganIn)
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

TEST_F(Unit1SupervisionTest, TheUsageWindowFollowsTheHistoryAsConnectionsComeAndGo)
{
    WriteIni("[General]\nSounds=0\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    TForm1 form(Services());
    form.Usage1Click();
    QTableWidget* table = UsageWindow()->findChild<QTableWidget*>(QStringLiteral("tblConnections"));
    ASSERT_NE(table, nullptr);
    for (int connection = 1; connection <= 2; ++connection) {
        SCOPED_TRACE(connection);
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 0, 1000);
        form.KZInternetDetect1->Poll();
        Run(form, 20);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
        (void)QTest::qWaitFor(
            [&] { return table->rowCount() == connection && table->item(connection - 1, 2)->text() != "0"; });
        ASSERT_EQ(table->rowCount(), connection) << "the newest connection is listed";
        EXPECT_EQ(table->item(connection - 1, 2)->data(Qt::UserRole).toLongLong(), 21) << "its seconds";
        EXPECT_GE(table->item(connection - 1, 4)->data(Qt::UserRole).toLongLong(), 20000) << "its bytes";
        Run(form, 5);
    }
}

TEST_F(Unit1SupervisionTest, TheDesktopIsToldOfConnectionsAndLimitsUnlessNotifyIsOff)
{
    for (const bool notify : {true, false}) {
        SCOPED_TRACE(notify ? "Notify=1" : "Notify=0");
        WriteIni(notify ? "[General]\nSounds=0\nMaximumTime=1\nMaxTimeAlarm=10\n[Stats]\nTotTime=34000\n"
                        : "[General]\nSounds=0\nMaximumTime=1\nMaxTimeAlarm=10\nNotify=0\n[Stats]\nTotTime=34000\n");
        Log->Balloons.clear(); // the tests' desktop has no notification service: the tray's balloon
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        Run(form, 201);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        const QStringList expected = {"Connected to My ISP / Address 10.64.0.2",
                                      "Time online near the limit / The month's limit is 10 hours.",
                                      "Disconnected from My ISP / Online 00:03:21, 0.0 MB received, 0.0 MB sent"};
        EXPECT_EQ(Log->Balloons, notify ? expected : QStringList{});
    }
}

TEST_F(Unit1SupervisionTest, EachThresholdIsToldOnceAPeriodAcrossARestartAndTheLimitCanHangUp)
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
                               "is reached on 9 December."}))
            << Log->Balloons.join('\n').toStdString();
        Log->Balloons.clear();
        Sim->HungUp.clear(); // the end of the first line

        // Started again: nothing told twice; the limit passed is told, and hangs up a dial-up line.
        TForm1 form(Services());
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
        const win::HRASCONN line = lineUp(form);
        Run(form, 5);
        EXPECT_TRUE(Log->Balloons.filter(QStringLiteral("% of the limit")).isEmpty()) << "given before the restart";
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
        Sim->HungUp.clear();
    }
}

TEST_F(Unit1SupervisionTest, TheProvidersFigureMovesEveryViewAndOutlivesARestart)
{
    // 3 MB of a 10 MB limit counted; the provider says 9.6 MB.
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=10\n[Stats]\nMonth=12\nTotCon=1\nTotRCV=3000\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    {
        TForm1 form(Services());
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
        Run(form, 1);
        EXPECT_EQ(TextColor(form.Label11b), TextColor(form.Label10b)) << "3 MB: no warning colour";
        form.Configuration1Click();
        QWidget* dialog = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QStringLiteral("frmConfig") && window->isVisible())
                dialog = window;
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QComboBox*>(QStringLiteral("ComboProviderUnit"))->setCurrentIndex(0); // MB
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("SpinProviderFigure"))->setValue(9.6);
        dialog->findChild<QPushButton*>(QStringLiteral("btnSetProviderFigure"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        Run(form, 1);
        EXPECT_EQ(ReportJson(form.LiveReport())[QStringLiteral("countedBytes")].toInteger(), 9'600'000);
        EXPECT_EQ(ReportJson(form.LiveReport())[QStringLiteral("correctionBytes")].toInteger(), 6'600'000);
        EXPECT_EQ(TextColor(form.Label11b), QColor(Qt::yellow)) << "96 % of the limit";
        EXPECT_EQ(form.Label11b->text(), QStringLiteral("3")) << "the month totals stay the program's own";
        ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    }
    // Started again: the history still has it; taken back in the Usage window, it is gone.
    TForm1 form(Services());
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    Run(form, 1);
    EXPECT_EQ(form.LiveReport().Plan.Counted, 9'600'000);
    form.Usage1Click();
    auto* corrections = UsageWindow()->findChild<QTableWidget*>(QStringLiteral("tblCorrections"));
    ASSERT_EQ(corrections->rowCount(), 1);
    EXPECT_EQ(corrections->item(0, 3)->text(), QStringLiteral("+6.60 MB"));
    corrections->selectRow(0);
    UsageWindow()->findChild<QPushButton*>(QStringLiteral("btnRemoveCorrection"))->click();
    EXPECT_EQ(form.LiveReport().Plan.Counted, 3'000'000);
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    THistoryStore reader(Folder->filePath(QStringLiteral("pulopro.sqlite")));
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    EXPECT_TRUE(reader.Adjustments(QDate(2026, 12, 1)).empty());
}

TEST_F(Unit1SupervisionTest, ConnectSpeedOnTheNineXFamily)
{
    for (const auto& [speed, text, unit] : {std::tuple{33600U, "33600", "bps"}, std::tuple{9600U, "    N/A", ""}}) {
        SCOPED_TRACE(text);
        Sim->PlatformId = win::VER_PLATFORM_WIN32_WINDOWS;
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->FindLine(line)->ConnectSpeed = speed;
        form.KZInternetDetect1->Poll();
        Run(form, 1);
        EXPECT_EQ(form.Label4b->text(), QString::fromLatin1(text));
        EXPECT_EQ(form.Label4c->text(), QString::fromLatin1(unit));
        Sim->DropLine(line);
    }
}

TEST_F(Unit1SupervisionTest, TheOnlineSoundPlaysAlwaysOrWhenNothingWasSent)
{
    const struct
    {
        const char* Ini;
        bool SendBetween;
        int Expected;
    } cases[] = {
        {"[General]\nOnlineInterval=10\nIdleOnly=1\n", true, 0},
        {"[General]\nOnlineInterval=10\nIdleOnly=1\n", false, 1},
        {"[General]\nOnlineInterval=10\nIdleOnly=0\n", true, 1},
        {"[General]\nOnlineInterval=10\nOnlineSound=0\nIdleOnly=0\n", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ini);
        WriteIni(c.Ini);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        Sim->SetLineRates(line, 1000, 0);
        Run(form, 1);
        form.RxTimerEvent4Timer();
        if (!c.SendBetween)
            Sim->SetLineRates(line, 0, 0);
        Run(form, 10);
        Sim->SoundCalls.clear();
        form.RxTimerEvent4Timer();
        EXPECT_EQ(test::SoundsPlayed(*Sim).count(QStringLiteral("Online.wav")), c.Expected);
        Sim->DropLine(line);
    }
}

} // namespace
} // namespace pulo
