#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "platform/Mmsystem.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
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

using Unit1SupervisionTest = test::Unit1TrayTest;

using test::TextColor;

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
    EXPECT_EQ(test::WarningOf(form.Label3b), "yellow") << "past 34200 s";
    form.RxTimerEvent2Timer();
    EXPECT_TRUE(test::SoundsPlayed(*Sim).isEmpty()) << "yellow does not alarm";
    Run(form, 1800);
    EXPECT_EQ(test::WarningOf(form.Label3b), "red") << "past 36000 s";
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
    EXPECT_EQ(test::WarningOf(form.Label11b), "red") << "2 MB stored and 3 MB sent pass 4 MB";
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
    EXPECT_EQ(test::WarningOf(form.Label11b), "yellow") << "4 MB is near, not past";
    Run(form, 1);
    EXPECT_EQ(test::WarningOf(form.Label11b), "red") << "5 MB with the running connection";
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
    ASSERT_NE(test::ShownWindow(QStringLiteral("frmUsage")), nullptr);
    EXPECT_TRUE(test::ShownWindow(QStringLiteral("frmUsage"))
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

TEST_F(Unit1SupervisionTest, TheUsageWindowFollowsTheHistoryAsConnectionsComeAndGo)
{
    WriteIni("[General]\nSounds=0\n");
    Sim->SetNow(2026, 12, 8, 12, 0, 0);
    TForm1 form(Services());
    form.Usage1Click();
    QTableWidget* table =
        test::ShownWindow(QStringLiteral("frmUsage"))->findChild<QTableWidget*>(QStringLiteral("tblConnections"));
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
        // "Always" clicked in the open dialog, not yet stored: it counts at once.
        bool AlwaysInTheDialog = false;
    } cases[] = {
        {"[General]\nOnlineInterval=10\nIdleOnly=1\n", true, 0},
        {"[General]\nOnlineInterval=10\nIdleOnly=1\n", false, 1},
        {"[General]\nOnlineInterval=10\nIdleOnly=0\n", true, 1},
        {"[General]\nOnlineInterval=10\nOnlineSound=0\nIdleOnly=0\n", true, 0},
        {"[General]\nOnlineInterval=10\nIdleOnly=1\n", true, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ini);
        WriteIni(c.Ini);
        TForm1 form(Services());
        if (c.AlwaysInTheDialog) {
            form.Configuration1->trigger();
            test::ShownWindow(QStringLiteral("frmConfig"))
                ->findChild<QRadioButton*>(QStringLiteral("RadioAlways"))
                ->click();
        }
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
