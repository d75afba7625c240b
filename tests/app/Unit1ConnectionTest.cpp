#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "platform/Mmsystem.h"
#include "settings/LogViewer.h"
#include "settings/RichText.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
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
        EXPECT_EQ(TextColor(form.Label1b), QColor(Qt::red));
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
    ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.log"))); // no log can be written
    {
        TForm1 form(Services());
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
        EXPECT_EQ(messages, QStringList{"Failed to Load Stream"});
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1") << "counted once";
    }
    // The next start, with the log writable again and the debris of a killed write about.
    ASSERT_TRUE(QDir(logPath).removeRecursively());
    const QString debris = logPath + QStringLiteral(".pulotmp-AbC123");
    QFile stale(debris);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
    stale.close();
    TForm1 form(Services());
    EXPECT_FALSE(QFile::exists(debris));
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = ReadRichText(log.readAll());
    ASSERT_EQ(lines.size(), 1 + 7) << "the waiting line and its block";
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" \u2022 My ISP")));
    EXPECT_EQ(lines[3], QStringLiteral(" Connections       : 1"));
    EXPECT_EQ(form.Totals.TotCon, 1);
}

} // namespace
} // namespace pulo
