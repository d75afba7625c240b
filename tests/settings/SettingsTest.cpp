#include "settings/Settings.h"

#include "common/FormatSettings.h"
#include "common/PuloError.h"
#include "tests/support/SimPlatformTest.h"

#include <QFile>
#include <QFileInfo>

namespace pulo {
namespace {

using test::SimPlatformTest;
using SettingsTest = SimPlatformTest;

TEST_F(SettingsTest, SettingsFileSitsBesideTheExecutable)
{
    const struct
    {
        const char* Executable;
        const char* Ini;
    } cases[] = {
        {"/opt/pulo/pulopro", "/opt/pulo/pulopro.ini"},
        {"/opt/pulo/app.exe", "/opt/pulo/app.ini"},
        {"/opt/pulo.d/pulopro-demo", "/opt/pulo.d/pulopro-demo.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Executable);
        Sim->ModulePath = c.Executable;
        EXPECT_EQ(SettingsPath(), QString::fromLatin1(c.Ini));
    }
}

TEST_F(SettingsTest, MissingOrGarbageFileGivesEveryDefault)
{
    const QByteArray files[] = {QByteArray(), QByteArray("\x01\x02\xFF garbage [[[ ==="),
                                QByteArray("[General]\nNIC=\nOnlineInterval=ten\n")};
    for (const auto& bytes : files) {
        SCOPED_TRACE(bytes.toStdString());
        WriteIni(bytes);
        TSettings settings;
        settings.NIC = 5;
        settings.Sounds = false;
        ReadSettings(settings, WithNIC::Yes);
        EXPECT_EQ(settings, TSettings{});
        TMonthTotals totals{3, 4, 5, 6, 7};
        ReadMonthTotals(totals);
        EXPECT_EQ(totals, TMonthTotals{});
    }
}

TEST_F(SettingsTest, StoredValuesDecodeAsTheyAlwaysHave)
{
    const struct
    {
        const char* Name;
        const char* Line;
        std::function<bool(const TSettings&)> Check;
    } cases[] = {
        {"flag 2 is true", "AutoHide=2", [](const TSettings& s) { return s.AutoHide; }},
        {"flag -1 is true", "AutoHide=-1", [](const TSettings& s) { return s.AutoHide; }},
        {"flag 0 is false", "Sounds=0", [](const TSettings& s) { return !s.Sounds; }},
        {"flag yes is the default", "Sounds=yes", [](const TSettings& s) { return s.Sounds; }},
        {"0x3C is 60", "MaxTimeAlarm=0x3C", [](const TSettings& s) { return s.MaxTimeAlarm == 60; }},
        {"$3C is 60", "MaxTimeAlarm=$3C", [](const TSettings& s) { return s.MaxTimeAlarm == 60; }},
        {"interval not clamped", "OnlineInterval=5", [](const TSettings& s) { return s.OnlineInterval == 5; }},
        {"negative limit kept", "MaxMBAlarm=-3", [](const TSettings& s) { return s.MaxMBAlarm == -3; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(QByteArray("[General]\n") + c.Line + "\n");
        TSettings settings;
        ReadSettings(settings, WithNIC::Yes);
        EXPECT_TRUE(c.Check(settings));
    }
}

TEST_F(SettingsTest, ReadsLeaveOutWhatTheCallerDoesNotAskFor)
{
    WriteIni("[General]\nNIC=4\nMaximumTime=1\nMaximumMB=1\nOnlineInterval=30\n");
    TSettings settings;
    ReadSettings(settings, WithNIC::No, WithMaximumFlags::No);
    EXPECT_EQ(settings.NIC, 1);
    EXPECT_FALSE(settings.MaximumTime);
    EXPECT_FALSE(settings.MaximumMB);
    EXPECT_EQ(settings.OnlineInterval, 30);
    ReadSettings(settings, WithNIC::Yes);
    EXPECT_EQ(settings.NIC, 4);
    EXPECT_TRUE(settings.MaximumTime);
    EXPECT_TRUE(settings.MaximumMB);
}

TEST_F(SettingsTest, LongSoundNamesComeBackCut)
{
    TSettings settings;
    settings.ConnectSnd = QString(3000, QLatin1Char('s'));
    settings.DialSnd = QString(2046, QLatin1Char('d')) + QChar(0x00E9); // the last character takes two bytes
    WriteSettings(settings);
    TSettings read;
    ReadSettings(read, WithNIC::Yes);
    EXPECT_EQ(read.ConnectSnd, QString(2047, QLatin1Char('s')));
    EXPECT_EQ(read.DialSnd, QString(2046, QLatin1Char('d')));
}

TEST_F(SettingsTest, WriteStoresEveryKeyInOrderAndKeepsForeignLines)
{
    WriteIni("; my notes\n[General]\nNIC=3\nColour=blue\n\n[Placement]\nLeft=10\n");
    TSettings settings;
    settings.StartHidden = true;
    settings.OnlineInterval = 120;
    settings.MaxMBAlarm = 500;
    settings.NIC = 9;
    settings.OnlineSnd = QStringLiteral("/home/me/sounds/ding dong.wav");
    WriteSettings(settings);

    EXPECT_EQ(ReadIni(), QByteArray("; my notes\n[General]\nNIC=3\nColour=blue\n"
                                    "StartHidden=1\nShowConnected=1\nAutoHide=0\nSounds=1\nDialAlarm=1\n"
                                    "Logging=1\nOnlineSound=1\nOnlineInterval=120\nIdleOnly=1\nMaximumTime=0\n"
                                    "MaxTimeAlarm=0\nMaximumMB=0\nMaxMBAlarm=500\n\n[Placement]\nLeft=10\n"
                                    "[Pulo Pro Configuration file]\n\xA9=PuloPro settings - edit with care; "
                                    "saving the options rewrites this file\n"
                                    "[Sounds]\nConnectSnd=DefaultCon.wav\nDisconnectSnd=DefaultDiscon.wav\n"
                                    "DialSnd=Dialing.wav\nOnlineSnd=/home/me/sounds/ding dong.wav\n"
                                    "MaximumSnd=Maximum.wav\n"));
    TSettings read;
    ReadSettings(read, WithNIC::Yes);
    settings.NIC = 3; // never written by WriteSettings
    EXPECT_EQ(read, settings);

    WriteNIC(6);
    ReadSettings(read, WithNIC::Yes);
    EXPECT_EQ(read.NIC, 6);
}

TEST_F(SettingsTest, MonthTotalsAreReadBackThroughTheirText)
{
    TMonthTotals totals{12, 0.1 + 0.2, 1.0 / 3, 1234.5, 11};
    WriteMonthTotals(totals);
    EXPECT_EQ(totals.TotTime, 0.3);
    EXPECT_EQ(totals.TotRCV, 0.333333333333333);
    EXPECT_EQ(totals.TotTMT, 1234.5);
    EXPECT_EQ(totals.StoredMonth, 11);
    EXPECT_EQ(ReadIni(), QByteArray("[Stats]\nMonth=11\nTotCon=12\nTotTime=0.3\nTotRCV=0.333333333333333\n"
                                    "TotTMT=1234.5\n"));
    TMonthTotals read;
    ReadMonthTotals(read);
    EXPECT_EQ(read, totals);
}

TEST_F(SettingsTest, RealsWrittenWithTheOtherSeparatorStillRead)
{
    CurrentFormat().DecimalSeparator = ',';
    TMonthTotals totals{1, 2.5, 3.5, 4.5, 5};
    WriteMonthTotals(totals);
    EXPECT_EQ(totals.TotTime, 2.5);
    EXPECT_TRUE(ReadIni().contains("TotTime=2,5"));

    CurrentFormat().DecimalSeparator = '.';
    TMonthTotals read;
    ReadMonthTotals(read);
    EXPECT_EQ(read, totals) << "a user who switched the desktop's language keeps the month";
    WriteIni("[Stats]\nTotTime=1.234,5\nTotRCV=x\n");
    ReadMonthTotals(read);
    EXPECT_EQ(read, (TMonthTotals{0, 0, 0, 0, 0})) << "what is no number in either form stays the default";
}

TEST_F(SettingsTest, AFileFarTooLargeIsLeftAloneWithAMessage)
{
    WriteIni("[General]\nNIC=4\n");
    EXPECT_EQ(PrepareSettingsFile(), QString());
    ASSERT_TRUE(QFile::resize(IniPath(), 17 << 20));
    const QString message = PrepareSettingsFile();
    EXPECT_TRUE(message.startsWith(IniPath() + " is larger than 16 MiB")) << message.toStdString();
    TSettings settings;
    ReadSettings(settings, WithNIC::Yes);
    EXPECT_EQ(settings, TSettings{});
    EXPECT_THROW(WriteNIC(2), PuloError);
    EXPECT_EQ(QFileInfo(IniPath()).size(), 17 << 20);
}

TEST_F(SettingsTest, RefusedWriteRaisesAndStopsTheBatch)
{
    WriteIni("[General]\nNIC=2\n");
    Sim->RefuseProfileWrites = true;
    try {
        WriteNIC(5);
        FAIL() << "a refused write must raise";
    } catch (const PuloError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Unable to write to ") + IniPath());
    }
    EXPECT_EQ(ReadIni(), QByteArray("[General]\nNIC=2\n"));

    Sim->RefuseProfileWrites = false;
    Sim->ProfileWritesBeforeRefusal = 2; // the header and StartHidden go in, nothing after
    EXPECT_THROW(WriteSettings(TSettings{}), PuloError);
    const QByteArray after = ReadIni();
    EXPECT_TRUE(after.contains("StartHidden=0"));
    EXPECT_FALSE(after.contains("ShowConnected"));
    EXPECT_FALSE(after.contains("[Sounds]"));
}

} // namespace
} // namespace pulo
