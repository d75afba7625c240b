#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "platform/Mmsystem.h"
#include "settings/LogViewer.h"
#include "settings/RichText.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "widgets/RXShell.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include <cmath>
#include <ctime>

namespace pulo {
namespace {

using Unit1ConnectionTest = test::Unit1TrayTest;

using test::TextColor;

QStringList SoundsPlayed(const win::sim::SimState& sim)
{
    for (const auto& call : sim.SoundCalls)
        EXPECT_EQ(call.Flags, win::SND_FILENAME) << "every sound plays from a file, synchronously";
    return test::SoundsPlayed(sim);
}

TEST_F(Unit1ConnectionTest, ALineComingUpAndGoingDownDrivesTheWindow)
{
    for (const bool sounds : {true, false}) {
        SCOPED_TRACE(sounds ? "sounds on" : "sounds off");
        WriteIni(sounds ? "" : "[General]\nSounds=0\n");
        Sim->SoundCalls.clear();
        Sim->SetNow(2026, 12, 7, 20, 0, 0);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();

        EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Connected"));
        EXPECT_EQ(test::WarningOf(form.Label1b), "red");
        EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.0.2"));
        EXPECT_TRUE(form.BitBtn1->isVisibleTo(&form) && form.BitBtn1->isEnabled());
        EXPECT_FALSE(form.BitBtn2->isVisibleTo(&form) || form.BitBtn2->isEnabled());
        EXPECT_TRUE(form.btnAlarmOff->isEnabled());
        EXPECT_TRUE(form.RxTrayIcon1->Animated());
        EXPECT_EQ(SoundsPlayed(*Sim), sounds ? QStringList{"DefaultCon.wav"} : QStringList{});
        // The dialer names the connection that came up while the program ran.
        EXPECT_EQ(form.Label7b->text(), QStringLiteral("Standard 56000 bps Modem"));
        EXPECT_EQ(form.ComboBox1->currentText(), QStringLiteral("My ISP"));

        Sim->SetNow(2026, 12, 7, 21, 30, 0);
        ASSERT_TRUE(Sim->DropLine(line));
        form.KZInternetDetect1->Poll();

        EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
        EXPECT_EQ(TextColor(form.Label1b), QColor(Qt::black));
        EXPECT_EQ(form.Label2b->text(), QStringLiteral("0.0.0.0"));
        EXPECT_TRUE(form.BitBtn2->isVisibleTo(&form) && form.BitBtn2->isEnabled());
        EXPECT_FALSE(form.BitBtn1->isVisibleTo(&form) || form.BitBtn1->isEnabled());
        EXPECT_FALSE(form.RxTrayIcon1->Animated());
        EXPECT_EQ(SoundsPlayed(*Sim), sounds ? (QStringList{"DefaultCon.wav", "DefaultDiscon.wav"}) : QStringList{});
        EXPECT_EQ(form.Label12b->text(), QStringLiteral("001:30:00"));
        EXPECT_EQ(form.Label7b->text(), QStringLiteral("      None active"));
        EXPECT_EQ(form.ConnectStart, 0);

        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/Month").toString(), "12");
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
        EXPECT_EQ(ini.value("Stats/TotTime").toString(), "5400");
        QFile log(Folder->filePath("pulopro.log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(ReadRichText(log.readAll()).value(0).endsWith(QStringLiteral(" \u2022 My ISP")))
            << "the log line carries the connection's name";
        log.close();
        QFile::remove(log.fileName());
    }
}

TEST_F(Unit1ConnectionTest, OnADarkDesktopTheRestingFiguresAreInItsTextColour)
{
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    QApplication::setPalette(dark);
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=100\nMaximumTime=1\nMaxTimeAlarm=100\n");
    {
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        form.RxTimerEvent1Timer();
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        for (const QLabel* label : {form.Label1b, form.Label3b, form.Label11b})
            EXPECT_EQ(TextColor(label), dark.color(QPalette::WindowText)) << label->objectName().toStdString();
    }
    QApplication::setPalette(light);
}

TEST_F(Unit1ConnectionTest, TheWindowComesAndGoesAsConfigured)
{
    const struct
    {
        const char* Ini;
        bool VisibleWhenConnected;
        bool VisibleAfterDisconnect;
    } cases[] = {
        {"[General]\nShowConnected=1\nAutoHide=1\n", true, false},
        {"[General]\nShowConnected=0\nAutoHide=0\n", false, false},
        {"[General]\nShowConnected=1\nAutoHide=0\n", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ini);
        WriteIni(c.Ini);
        TForm1 form(Services());
        form.show();
        form.HideToTray();
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        EXPECT_EQ(form.isVisible(), c.VisibleWhenConnected);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        EXPECT_EQ(form.isVisible(), c.VisibleAfterDisconnect);
    }
}

TEST_F(Unit1ConnectionTest, LoggingOffCountsNothingButStoresTheMonth)
{
    WriteIni("[General]\nLogging=0\n[Stats]\nMonth=12\nTotCon=5\nTotTime=100\n");
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    form.KZInternetDetect1->Poll();
    Sim->SetNow(2026, 12, 7, 13, 0, 0);
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "5");
    EXPECT_EQ(ini.value("Stats/TotTime").toString(), "100");
    EXPECT_EQ(ini.value("Stats/Month").toString(), "12");
}

TEST_F(Unit1ConnectionTest, EndingTheProgramWhileOnlineStoresTheConnection)
{
    enum class Before
    {
        Nothing,
        Disconnect,
        HangUp,
    };
    const struct
    {
        const char* Name;
        Before Step;
        const char* TotCon;
    } cases[] = {
        {"exit while connected", Before::Nothing, "1"},
        {"disconnect, then exit", Before::Disconnect, "1"},
        {"hang up, then exit before the line is seen gone", Before::HangUp, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni("");
        Sim->SetNow(2026, 12, 7, 12, 0, 0);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        Sim->SetNow(2026, 12, 7, 12, 10, 0);
        if (c.Step == Before::Disconnect) {
            Sim->DropLine(line);
            form.KZInternetDetect1->Poll();
        }
        if (c.Step == Before::HangUp)
            form.BitBtn1->click();
        form.Exit1->trigger();
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), c.TotCon);
        EXPECT_EQ(ini.value("Stats/TotTime").toString(), "600");
        QFile log(Folder->filePath("pulopro.log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QStringList lines = ReadRichText(log.readAll());
        EXPECT_EQ(lines.size(), 8) << "one line and the block, written once";
        EXPECT_TRUE(lines.value(0).contains(QStringLiteral(" \u2022 00:10:00 \u2022 ")));
        log.close();
        QFile::remove(log.fileName());
        Sim->DropLine(line);
    }
}

TEST_F(Unit1ConnectionTest, ViewLogFileOpensTheViewerInPlaceOfTheWindow)
{
    TForm1 form(Services());
    form.show();
    EXPECT_TRUE(form.ViewLogfile1->isEnabled());
    form.ViewLogfile1->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.frmLog->isVisible());
    // The viewer comes from its module, as in the program.
    auto* close = form.frmLog->findChild<QPushButton*>(QStringLiteral("btnClose"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.frmLog->isVisible());
}

TEST_F(Unit1ConnectionTest, ARefusedWriteIsShownAndTheDisplayStillResets)
{
    TForm1 form(Services());
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    form.KZInternetDetect1->Poll();
    Sim->RefuseProfileWrites = true;
    QStringList messages;
    SetErrorReporter([&](const QString& message) { messages << message; });
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    SetErrorReporter(nullptr);
    EXPECT_EQ(messages, QStringList{"Unable to write to " + IniPath()});
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
}

TEST_F(Unit1ConnectionTest, TheMonthTotalsRollOverOnTheBillingDay)
{
    WriteIni("[General]\nBillingDay=15\nSounds=0\n[Stats]\nMonth=11\nTotCon=5\nTotTime=100\n");
    const struct
    {
        int Day;
        const char* Month;
        const char* TotCon;
    } cases[] = {
        {14, "11", "6"}, // still the period that began on 15 November
        {15, "12", "1"}, // the period of December begins
        {20, "12", "2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Day);
        Sim->SetNow(2026, 12, c.Day, 10, 0, 0);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        Sim->SetNow(2026, 12, c.Day, 10, 30, 0);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/Month").toString(), c.Month);
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), c.TotCon);
    }
}

TEST_F(Unit1ConnectionTest, AConnectionTheLogRefusedIsCountedOnceAndLoggedAtTheNextStart)
{
    const QString logPath = Folder->filePath("pulopro.log");
    const QString sidePath = logPath + QStringLiteral(".pending");
    // Where the waiting line outlives the program: in the side file, or, when that cannot be
    // written either, in the history.
    for (const bool sideFileRefused : {false, true}) {
        SCOPED_TRACE(sideFileRefused ? "no side file either" : "the side file written");
        for (const char* file : {"pulopro.sqlite", "pulopro.sqlite-wal", "pulopro.sqlite-shm", "pulopro.ini"})
            QFile::remove(Folder->filePath(QLatin1String(file)));
        QFile::remove(logPath);
        Sim->SetNow(2026, 12, 7, 12, 0, 0);
        ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.log"))); // no log can be written
        {
            TForm1 form(Services());
            ASSERT_TRUE(form.FlushHistory(5000));
            if (sideFileRefused) {
                ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.log.pending")));
            }
            const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
            form.KZInternetDetect1->Poll();
            Sim->SetNow(2026, 12, 7, 13, 0, 0);
            Sim->DropLine(line);
            // The session ends while the log's error box is open.
            QStringList messages;
            SetErrorReporter([&](const QString& message) {
                messages << message;
                form.Exit1->trigger();
            });
            form.KZInternetDetect1->Poll();
            SetErrorReporter(nullptr);
            EXPECT_EQ(messages.value(0), sideFileRefused ? "Failed to Save Stream" : "Failed to Load Stream")
                << messages.join(QLatin1Char('\n')).toStdString();
            const QSettings ini(IniPath(), QSettings::IniFormat);
            EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1") << "counted once";
        }
        // The next start, with the log writable again and the debris of a killed write about.
        ASSERT_TRUE(QDir(logPath).removeRecursively());
        if (sideFileRefused) {
            ASSERT_TRUE(QDir(sidePath).removeRecursively());
        }
        const QString debris = logPath + QStringLiteral(".pulotmp-AbC123");
        QFile stale(debris);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
        stale.close();
        // Started twice: the line is logged once.
        for (int start = 0; start < 2; ++start) {
            TForm1 form(Services());
            ASSERT_TRUE(form.FlushHistory(5000));
            Run(form, 1);
            ASSERT_TRUE(form.FlushHistory(5000)) << form.UsageRecorder()->Problem().toStdString();
            EXPECT_FALSE(QFile::exists(debris));
            QFile log(logPath);
            ASSERT_TRUE(log.open(QIODevice::ReadOnly));
            const QStringList lines = ReadRichText(log.readAll());
            ASSERT_EQ(lines.size(), 1 + 7) << "the waiting line and its block";
            EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" \u2022 My ISP")));
            EXPECT_EQ(lines[3], QStringLiteral(" Connections       : 1"));
            EXPECT_EQ(form.Totals.TotCon, 1);
        }
        EXPECT_FALSE(QFile::exists(sidePath));
    }
}

// The zone of the tests below, for the length of one test: its changes of daylight saving time
// are on the last Sundays of March and October.
class ZoneForTest final
{
public:
    explicit ZoneForTest(const char* zone) : Before(qgetenv("TZ")), HadZone(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneForTest()
    {
        if (HadZone)
            qputenv("TZ", Before);
        else
            qunsetenv("TZ");
        tzset();
    }
    ZoneForTest(const ZoneForTest&) = delete;
    ZoneForTest& operator=(const ZoneForTest&) = delete;

private:
    QByteArray Before;
    bool HadZone;
};

TEST_F(Unit1ConnectionTest, AConnectionLastsAsLongAsItLastedWhateverTheClockDid)
{
    if (!QFile::exists(QStringLiteral("/usr/share/zoneinfo/Europe/Berlin")))
        GTEST_SKIP() << "skipped: the time zone database (tzdata) is not installed";
    const ZoneForTest zone("Europe/Berlin");
    struct Reading
    {
        int Year, Month, Day, Hour, Minute, Second, Offset;
    };
    const struct
    {
        const char* Name;
        Reading Start;
        int Seconds; // what truly passed
        Reading End; // what the wall clock reads then
        const char* Duration;
        // Where the history places the start: the second before the line was first seen, as the
        // window's first second online counts.
        const char* StartUtc;
        const char* Month; // the month it counts in
    } cases[] = {
        {"the autumn change",
         {2026, 10, 25, 2, 59, 30, 7200},
         60,
         {2026, 10, 25, 2, 0, 30, 3600},
         "00:01:00",
         "2026-10-25T00:59:29Z",
         "10"},
        {"the spring change",
         {2026, 3, 29, 1, 59, 30, 3600},
         62,
         {2026, 3, 29, 3, 0, 32, 7200},
         "00:01:02",
         "2026-03-29T00:59:29Z",
         "3"},
        {"a long line across the autumn change",
         {2026, 10, 25, 1, 30, 0, 7200},
         7200,
         {2026, 10, 25, 2, 30, 0, 3600},
         "02:00:00",
         "2026-10-24T23:29:59Z",
         "10"},
        {"the clock set back an hour",
         {2026, 12, 7, 12, 0, 0, 3600},
         600,
         {2026, 12, 7, 11, 10, 0, 3600},
         "00:10:00",
         "2026-12-07T09:59:59Z",
         "12"},
        {"the clock set forward a month",
         {2026, 11, 7, 12, 0, 0, 3600},
         600,
         {2026, 12, 7, 12, 10, 0, 3600},
         "00:10:00",
         "2026-12-07T10:59:59Z",
         "12"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni("[General]\nSounds=0\n");
        QFile::remove(Folder->filePath("pulopro.log"));
        for (const char* file : {"pulopro.sqlite", "pulopro.sqlite-wal", "pulopro.sqlite-shm"})
            QFile::remove(Folder->filePath(QLatin1String(file)));
        Sim->StepClock(c.Start.Year, c.Start.Month, c.Start.Day, c.Start.Hour, c.Start.Minute, c.Start.Second,
                       c.Start.Offset);
        {
            TForm1 form(Services());
            const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
            Sim->SetLineRates(line, 1000, 20000);
            form.KZInternetDetect1->Poll();
            Sim->Ticks += static_cast<win::DWORD>(c.Seconds) * 1000;
            Sim->Uptime += static_cast<std::uint64_t>(c.Seconds) * 1000;
            Sim->StepClock(c.End.Year, c.End.Month, c.End.Day, c.End.Hour, c.End.Minute, c.End.Second, c.End.Offset);
            form.RxTimerEvent1Timer();
            EXPECT_EQ(form.Label3b->text(), QLatin1String(c.Duration)) << "the time online shown";
            Sim->DropLine(line);
            form.KZInternetDetect1->Poll();
            ASSERT_TRUE(form.UsageRecorder()->Flush(5000)) << form.UsageRecorder()->Problem().toStdString();
        }
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
        EXPECT_EQ(ini.value("Stats/TotTime").toString(), QString::number(c.Seconds));
        EXPECT_EQ(ini.value("Stats/TotRCV").toDouble(), 20.0 * c.Seconds) << "every byte it carried";
        EXPECT_EQ(ini.value("Stats/Month").toString(), c.Month);
        QFile log(Folder->filePath("pulopro.log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QStringList lines = ReadRichText(log.readAll());
        EXPECT_TRUE(lines.value(0).contains(QStringLiteral(" \u2022 %1 \u2022 ").arg(QLatin1String(c.Duration))))
            << lines.value(0).toStdString();
        THistoryStore history(Folder->filePath("pulopro.sqlite"));
        ASSERT_TRUE(history.Open(THistoryStore::TAccess::ReadOnly));
        const auto rows =
            history.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::fromSecsSinceEpoch(1LL << 40));
        ASSERT_EQ(rows.size(), 1U);
        EXPECT_EQ(rows[0].Start.toUTC().toString(Qt::ISODate), QLatin1String(c.StartUtc));
        EXPECT_EQ(rows[0].Seconds, c.Seconds + 1);
        EXPECT_EQ(rows[0].Start.secsTo(rows[0].End), c.Seconds + 1) << "it ends after it begins";
        EXPECT_EQ(rows[0].Received, 20000 * c.Seconds);
    }
}

TEST_F(Unit1ConnectionTest, MonthTotalsThatCouldNeverHaveBeenWrittenCountAsZero)
{
    const struct
    {
        const char* Stats;
        const char* Key; // the key told of
    } cases[] = {
        {"TotCon=-3\nTotTime=60\nTotRCV=100\nTotTMT=10", "TotCon"},
        {"TotCon=2\nTotTime=-1e9\nTotRCV=100\nTotTMT=10", "TotTime"},
        {"TotCon=2\nTotTime=60\nTotRCV=-5\nTotTMT=10", "TotRCV"},
        {"TotCon=2\nTotTime=60\nTotRCV=100\nTotTMT=1e300", "TotTMT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stats);
        WriteIni(QByteArray("[General]\nSounds=0\n[Stats]\nMonth=12\n") + c.Stats + "\n");
        QFile::remove(Folder->filePath("pulopro.log"));
        Log->Balloons.clear();
        Sim->SetNow(2026, 12, 7, 12, 0, 0);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 1000, 1000);
        form.KZInternetDetect1->Poll();
        Sim->Ticks += 600000;
        Sim->SetNow(2026, 12, 7, 12, 10, 0);
        form.RxTimerEvent1Timer();
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        const QStringList told = Log->Balloons.filter(QStringLiteral("could never have written"));
        ASSERT_EQ(told.size(), 1) << Log->Balloons.join('\n').toStdString();
        EXPECT_TRUE(told[0].contains(QLatin1String(c.Key)));
        const QSettings ini(IniPath(), QSettings::IniFormat);
        for (const char* key : {"TotCon", "TotTime", "TotRCV", "TotTMT"}) {
            SCOPED_TRACE(key);
            const double value = ini.value(QStringLiteral("Stats/") + key).toDouble();
            EXPECT_TRUE(std::isfinite(value) && value >= 0 && value < 1e6) << value;
        }
        const double expectedRCV = QLatin1String(c.Key) == QLatin1String("TotRCV") ? 600 : 700;
        EXPECT_DOUBLE_EQ(ini.value("Stats/TotRCV").toDouble(), expectedRCV);
        QFile log(Folder->filePath("pulopro.log"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString text = ReadRichText(log.readAll()).join('\n');
        EXPECT_FALSE(text.contains(QStringLiteral("nan")) || text.contains(QStringLiteral(": -")) ||
                     text.contains(QStringLiteral("e+")))
            << text.toStdString();
    }
}

TEST_F(Unit1ConnectionTest, ABillingDayWrittenIntoTheFileBetweenRunsLosesNoConnection)
{
    WriteIni("[General]\nSounds=0\n");
    for (const int day : {2, 5}) {
        Sim->SetNow(2026, 12, day, 10, 0, 0);
        TForm1 form(Services());
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        form.KZInternetDetect1->Poll();
        Sim->SetNow(2026, 12, day, 10, 10, 0);
        Sim->DropLine(line);
        form.KZInternetDetect1->Poll();
        ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    }
    // While no copy runs, the billing day becomes the 10th: the period now began on 10 November.
    QByteArray text = ReadIni();
    text.replace("[General]\n", "[General]\nBillingDay=10\n");
    WriteIni(text);

    Sim->SetNow(2026, 12, 9, 10, 0, 0);
    TForm1 form(Services());
    form.RxTimerEvent1Timer();
    const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
    form.KZInternetDetect1->Poll();
    Sim->SetNow(2026, 12, 9, 10, 10, 0);
    Sim->DropLine(line);
    form.KZInternetDetect1->Poll();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/Month").toString(), "11") << "the period that began on 10 November";
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "3") << "the two connections before and this one";
    // The history keeps each connection from the second before its line was seen.
    EXPECT_NEAR(ini.value("Stats/TotTime").toDouble(), 1800, 2);
}

} // namespace
} // namespace pulo
