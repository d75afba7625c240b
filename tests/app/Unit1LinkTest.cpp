#include "app/Unit1.h"
#include "platform/posix/Netlink.h"
#include "platform/posix/PosixBackend.h"
#include "settings/RichText.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "tests/support/NetnsTestMain.h"
#include "tests/support/NmService.h"
#include "tests/support/TunLink.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <csignal>

namespace pulo {
namespace {

class Unit1LinkTest : public test::Unit1TrayTest
{
protected:
    void SetUp() override
    {
        PULO_NEEDS_NETWORK_NAMESPACE();
        Unit1TrayTest::SetUp();
        ASSERT_TRUE(PidFolder.isValid());
        // Real links and their statistics; simulated clock, sound and settings folder.
        auto posix = win::posix::MakePosixBackend(PidFolder.path().toStdString());
        win::InstalledBackend().Ras = std::move(posix->Ras);
        win::InstalledBackend().IpHelper = std::move(posix->IpHelper);
        win::InstalledBackend().Registry = std::move(posix->Registry);
    }

    // Runs the stand-in pppd for "myisp" on ifname with the local address (and more options),
    // until it says its link is ready; false, with what it said, when it does not.
    ::testing::AssertionResult StartPppd(QProcess& pppd, const char* ifname, const char* local, QStringList more = {})
    {
        pppd.start(QStringLiteral(STANDIN_PPPD),
                   QStringList{"call", "myisp", "nodetach", "/dev/ttyS1", "piddir", PidFolder.path(), "ifname",
                               QLatin1String(ifname), "local", QLatin1String(local)} +
                       more);
        if (!pppd.waitForStarted())
            return ::testing::AssertionFailure() << "the stand-in pppd did not start";
        QByteArray said;
        while (!said.contains("ready\n") && pppd.waitForReadyRead(5000))
            said += pppd.readAllStandardOutput();
        if (!said.contains("ready\n"))
            return ::testing::AssertionFailure() << said.toStdString();
        return ::testing::AssertionSuccess();
    }

    QTemporaryDir PidFolder;
};

TEST_F(Unit1LinkTest, APppLinkComingUpAndGoingAwayIsOneConnection)
{
    Sim->SetNow(2026, 12, 7, 9, 0, 0);
    TForm1 form(Services());
    auto link = std::make_unique<test::TunLink>("ppp0");
    ASSERT_TRUE(link->Valid());
    ASSERT_TRUE(link->SetUp(true));
    form.KZInternetDetect1->Poll();
    EXPECT_FALSE(form.IsOnline()) << "no address yet";

    ASSERT_TRUE(link->SetAddress("10.64.3.7", "10.64.0.1"));
    form.KZInternetDetect1->Poll();
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Connected"));
    EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.3.7"));

    Sim->SetNow(2026, 12, 7, 9, 42, 0);
    link.reset();
    form.KZInternetDetect1->Poll();
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
    EXPECT_EQ(ini.value("Stats/TotTime").toString(), "2520");
    ASSERT_EQ(Sim->SoundCalls.size(), 2U);
    EXPECT_EQ(Sim->SoundCalls[1].Name, "DefaultDiscon.wav");
}

TEST_F(Unit1LinkTest, ADialledLinkIsNamedAndCountedWhenTheProgramEndsRightAfterHangUp)
{
    QProcess pppd;
    ASSERT_TRUE(StartPppd(pppd, "ppp6", "10.64.6.2"));

    TForm1 form(Services());
    form.KZInternetDetect1->Poll();
    ASSERT_EQ(form.Label2b->text(), QStringLiteral("10.64.6.2"));
    EXPECT_EQ(form.Label7b->text(), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(form.ActiveEntryName, QStringLiteral("myisp"));

    Sim->SetNow(2026, 12, 7, 12, 5, 0);
    form.BitBtn1->click(); // pppd ends; the program ends before the detector has seen it
    EXPECT_TRUE(pppd.waitForFinished(5000));
    form.Exit1->trigger();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
    QFile log(Folder->filePath("pulopro.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ReadRichText(log.readAll()).value(0).endsWith(QStringLiteral(" \u2022 myisp")));
}

TEST_F(Unit1LinkTest, APppLinkBroughtOverTheLimitIsHungUpWhenTheUserAskedForIt)
{
    WriteIni("[General]\nSounds=0\nMaximumMB=1\nMaxMBAlarm=1\nHangUpAtLimit=1\n");
    QProcess pppd;
    ASSERT_TRUE(StartPppd(pppd, "ppp7", "10.64.7.2", {"burst", "1200000"}));

    TForm1 form(Services());
    ASSERT_TRUE(form.UsageRecorder()->Flush(10000));
    form.KZInternetDetect1->Poll();
    ASSERT_TRUE(form.IsOnline());
    form.RxTimerEvent1Timer();
    EXPECT_EQ(pppd.state(), QProcess::Running) << "under the limit";
    // 1.2 MB from the peer: past the 1 MB limit at the next tick.
    ::kill(static_cast<pid_t>(pppd.processId()), SIGUSR1);
    QByteArray said;
    while (!said.contains("burst\n") && pppd.waitForReadyRead(5000))
        said += pppd.readAllStandardOutput();
    form.RxTimerEvent1Timer();
    EXPECT_TRUE(pppd.waitForFinished(5000)) << "pppd asked to end, as Hang up asks it";
    EXPECT_EQ(Log->Balloons.filter(QStringLiteral("Hung up at the download limit")).size(), 1)
        << Log->Balloons.join('\n').toStdString();
}

TEST_F(Unit1LinkTest, ANetworkManagerMobileLineIsDialledShownLoggedAndHungUp)
{
    test::TNmService nm;
    if (const QString why = nm.StartBus(); !why.isEmpty())
        GTEST_SKIP() << "skipped: " << why.toStdString();
    if (!nm.StartService())
        GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
    nm.Mock("AddLineDevice", {QStringLiteral("modem0"), 8U, QStringLiteral("ttyUSB2"), QStringLiteral("wwan0"), 0U,
                              QStringLiteral("10.64.9.2")});
    nm.Mock("AddProfile", {QStringLiteral("Telco 4G"), QStringLiteral("gsm")});
    test::TunLink wwan("wwan0", test::LinkTypeNone);
    ASSERT_TRUE(wwan.Valid() && wwan.SetUp(true) && wwan.SetAddress("10.64.9.2", "10.64.0.1"));

    Sim->SetNow(2026, 12, 8, 10, 0, 0);
    TForm1 form(Services());
    const int entry = form.ComboBox1->findText(QStringLiteral("Telco 4G"));
    ASSERT_GE(entry, 0) << "the profile is in the Connection list";
    form.ComboBox1->setCurrentIndex(entry);
    form.BitBtn2->click();
    const auto shows = [&](const char* text) {
        return QTest::qWaitFor(
            [&] {
                form.KZInternetDetect1->Poll();
                return form.Label1b->text() == QLatin1String(text);
            },
            5000);
    };
    ASSERT_TRUE(shows("      Connected")) << form.Label1b->text().toStdString();
    EXPECT_EQ(form.ActiveEntryName, QStringLiteral("Telco 4G"));
    EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.9.2"));
    EXPECT_EQ(form.Label7b->text(), QStringLiteral("Mobile broadband (ttyUSB2)"));
    // Its bytes are the interface's own: five packets of 600 bytes in.
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(wwan.Receive(test::Ipv4Packet(600)));
    form.RxTimerEvent1Timer();
    EXPECT_EQ(form.Label6b->text(), QStringLiteral("3000"));

    Sim->SetNow(2026, 12, 8, 10, 30, 0);
    form.BitBtn1->click();
    EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Not connected"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            form.KZInternetDetect1->Poll();
            return !form.KZInternetDetect1->Connected();
        },
        5000));
    EXPECT_EQ(nm.CallCount("DeactivateConnection"), 1);
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1");
    EXPECT_EQ(ini.value("Stats/TotTime").toString(), "1800");
    QFile log(Folder->filePath("pulopro.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ReadRichText(log.readAll()).value(0).endsWith(QStringLiteral(" \u2022 Telco 4G")));
}

TEST_F(Unit1LinkTest, APhoneHotspotCountsUnlessTheMeteredKeyTurnsItOff)
{
    test::TNmService nm;
    if (const QString why = nm.StartBus(); !why.isEmpty())
        GTEST_SKIP() << "skipped: " << why.toStdString();
    if (!nm.StartService())
        GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
    const QString wifi = nm.Mock("AddLineDevice", {QStringLiteral("wifi0"), 2U, QStringLiteral("wlan0"),
                                                   QStringLiteral("wlan0"), 3U, QStringLiteral("192.168.43.20")});
    const QString hotspot = nm.Mock("AddProfile", {QStringLiteral("Phone"), QStringLiteral("802-11-wireless")});
    nm.Mock("ActivateAt", {hotspot, wifi});
    test::TunLink wlan("wlan0", test::LinkTypeNone);
    ASSERT_TRUE(wlan.Valid() && wlan.SetUp(true) && wlan.SetAddress("192.168.43.20", "192.168.43.1"));

    for (const char* setting : {"", "Metered=0\n"}) {
        QFile ini(IniPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QByteArray("[General]\n") + setting);
        ini.close();
        TForm1 form(Services());
        const auto counted = [&] {
            form.KZInternetDetect1->Poll();
            return form.ActiveEntryName == QStringLiteral("Phone");
        };
        if (*setting == 0) {
            ASSERT_TRUE(QTest::qWaitFor(counted, 5000));
            EXPECT_EQ(form.Label7b->text(), QStringLiteral("Wi-Fi (wlan0)"));
        } else {
            // NetworkManager's reading is in hand since the first row: the key alone decides.
            EXPECT_FALSE(counted());
        }
    }
}

// What the kernel counted as received on a link of the test's own.
std::uint64_t KernelReceived(int index)
{
    std::vector<win::posix::NetCounters> counters;
    EXPECT_TRUE(win::posix::DumpCounters(counters));
    for (const auto& link : counters)
        if (link.Index == index)
            return link.RxBytes;
    ADD_FAILURE() << "no counters for link " << index;
    return 0;
}

// Brings a PPP link up with an address and has it receive packets of 1000 bytes.
std::unique_ptr<test::TunLink> UpLink(const char* name, const char* address)
{
    auto link = std::make_unique<test::TunLink>(name);
    EXPECT_TRUE(link->Valid() && link->SetUp(true) && link->SetAddress(address, "10.64.0.1"));
    return link;
}

void Receive(const test::TunLink& link, int packets)
{
    for (int i = 0; i < packets; ++i)
        EXPECT_TRUE(link.Receive(test::Ipv4Packet(1000)));
}

TEST_F(Unit1LinkTest, EachLinkIsAConnectionOfItsOwnWithEveryByteItCarried)
{
    const struct
    {
        const char* Name;
        const char* Second; // the second link's name
        bool Overlap;       // the second comes up before the first ends
        bool Brief;         // the second comes and goes between two looks
    } cases[] = {
        {"a redial quicker than a poll, under the same name", "ppp0", false, false},
        {"a second line that stays when the first ends", "ppp1", true, false},
        {"a redial that lived shorter than a look", "ppp0", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni("[General]\nSounds=0\n");
        for (const char* file : {"pulopro.log", "pulopro.sqlite", "pulopro.sqlite-wal", "pulopro.sqlite-shm"})
            QFile::remove(Folder->filePath(QLatin1String(file)));
        Sim->SetNow(2026, 12, 7, 9, 0, 0);
        TForm1 form(Services());
        auto first = UpLink("ppp0", "10.64.3.7");
        form.KZInternetDetect1->Poll();
        ASSERT_TRUE(form.IsOnline());
        std::unique_ptr<test::TunLink> second;
        if (c.Overlap) {
            second = UpLink(c.Second, "10.64.3.8");
            Receive(*second, 30);
        }
        Receive(*first, 20);
        Sim->SetNow(2026, 12, 7, 9, 1, 0);
        form.RxTimerEvent1Timer();
        Receive(*first, 7); // after the last tick, before the link goes
        const std::uint64_t firstCarried = KernelReceived(first->Index());
        first.reset();
        if (!c.Overlap) {
            second = UpLink(c.Second, "10.64.3.8");
            Receive(*second, 30);
        }
        std::uint64_t secondCarried = 0;
        if (c.Brief) {
            secondCarried = KernelReceived(second->Index());
            second.reset();
        }
        form.RxTimerEvent1Timer(); // the tick may see the new line before the detector does
        form.KZInternetDetect1->Poll();
        EXPECT_EQ(form.Label2b->text(), QStringLiteral("10.64.3.8"));
        if (!c.Brief) {
            Receive(*second, 5);
            Sim->SetNow(2026, 12, 7, 9, 2, 0);
            form.RxTimerEvent1Timer();
            Receive(*second, 3);
            secondCarried = KernelReceived(second->Index());
            second.reset();
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                form.KZInternetDetect1->Poll();
                return !form.IsOnline();
            },
            5000));

        ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
        THistoryStore history(Folder->filePath("pulopro.sqlite"));
        ASSERT_TRUE(history.Open(THistoryStore::TAccess::ReadOnly));
        const auto rows =
            history.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::fromSecsSinceEpoch(1LL << 40));
        ASSERT_EQ(rows.size(), 2U) << "two connections";
        EXPECT_EQ(rows[0].Received, static_cast<std::int64_t>(firstCarried)) << "the first line's own bytes";
        EXPECT_EQ(rows[1].Received, static_cast<std::int64_t>(secondCarried)) << "the second line's own bytes";
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), "2");
        EXPECT_DOUBLE_EQ(ini.value("Stats/TotRCV").toDouble(),
                         static_cast<double>(firstCarried + secondCarried) / 1000);
    }
}

TEST_F(Unit1LinkTest, AFlappingLineIsCountedToTheByte)
{
    // Twelve links of a fifth of a second each, watched by the window's own once-a-second look:
    // most come and go unseen, more than can wait their turn one by one.
    WriteIni("[General]\nSounds=0\n");
    Sim->SetNow(2026, 12, 7, 9, 0, 0);
    TForm1 form(Services());
    std::uint64_t carried = 0;
    for (int flap = 0; flap < 12; ++flap) {
        auto link = UpLink("ppp0", "10.64.3.7");
        Receive(*link, 10 + flap);
        QTest::qWait(200);
        Receive(*link, 3);
        carried += KernelReceived(link->Index());
        link.reset();
        QTest::qWait(50);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.IsOnline(); }, 30000));
    // Nothing is left waiting: a poll now finds no line.
    form.KZInternetDetect1->Poll();
    ASSERT_FALSE(form.IsOnline());

    ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    THistoryStore history(Folder->filePath("pulopro.sqlite"));
    ASSERT_TRUE(history.Open(THistoryStore::TAccess::ReadOnly));
    const auto rows = history.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::fromSecsSinceEpoch(1LL << 40));
    std::int64_t stored = 0;
    for (const auto& row : rows)
        stored += row.Received;
    EXPECT_EQ(stored, static_cast<std::int64_t>(carried)) << rows.size() << " connections stored";
    EXPECT_GE(rows.size(), 8U) << "each link that could wait its turn is a connection";
    const QSettings ini(IniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Stats/TotCon").toULongLong(), rows.size());
    EXPECT_DOUBLE_EQ(ini.value("Stats/TotRCV").toDouble(), static_cast<double>(carried) / 1000);
}

TEST_F(Unit1LinkTest, ALineOnAnOlderInterfaceCountsItsOwnBytesAndOnlyADialUpLineEndsWithTheProgram)
{
    const struct
    {
        const char* Name;
        const char* Type;
        unsigned DeviceKind;
        const char* Interface;
        unsigned Metered;
        int EndedAtExit;
    } cases[] = {
        {"a phone's hotspot on the Wi-Fi card", "802-11-wireless", 2U, "wlan0", 3U, 0},
        {"mobile broadband on the modem's interface", "gsm", 8U, "wwan0", 0U, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        test::TNmService nm;
        if (const QString why = nm.StartBus(); !why.isEmpty())
            GTEST_SKIP() << "skipped: " << why.toStdString();
        if (!nm.StartService())
            GTEST_SKIP() << "skipped: python3-dbusmock is not installed";
        const QString device =
            nm.Mock("AddLineDevice", {QStringLiteral("line0"), c.DeviceKind, QString::fromLatin1(c.Interface),
                                      QString::fromLatin1(c.Interface), c.Metered, QStringLiteral("10.9.0.2")});
        const QString profile = nm.Mock("AddProfile", {QStringLiteral("Phone"), QString::fromLatin1(c.Type)});
        test::TunLink line(c.Interface, test::LinkTypeNone);
        ASSERT_TRUE(line.Valid() && line.SetUp(true) && line.SetAddress("10.9.0.2", "10.9.0.1"));
        // The card carried an earlier network's traffic before this line began.
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(line.Receive(test::Ipv4Packet(600)));
        nm.Mock("ActivateAt", {profile, device});

        SetUp();
        WriteIni("[General]\nSounds=0\n");
        Sim->SetNow(2026, 12, 8, 10, 0, 0);
        {
            TForm1 form(Services());
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    form.KZInternetDetect1->Poll();
                    return form.ActiveEntryName == QStringLiteral("Phone");
                },
                5000));
            for (int i = 0; i < 5; ++i)
                ASSERT_TRUE(line.Receive(test::Ipv4Packet(600)));
            form.RxTimerEvent1Timer();
            EXPECT_EQ(form.Label6b->text(), QStringLiteral("3000")) << "what came since the line began";
            Sim->SetNow(2026, 12, 8, 10, 0, 8);
            form.Exit1Click();
        }
        THistoryStore history(Folder->filePath(QStringLiteral("pulopro.sqlite")));
        ASSERT_TRUE(history.Open(THistoryStore::TAccess::ReadOnly));
        const auto rows =
            history.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::currentDateTime().addYears(5));
        ASSERT_EQ(rows.size(), 1U);
        EXPECT_EQ(rows[0].Interface, QString::fromLatin1(c.Interface));
        EXPECT_EQ(rows[0].Received, 3000);
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/TotRCV").toString(), "3");
        EXPECT_EQ(nm.CallCount("DeactivateConnection"), c.EndedAtExit);
        TearDown();
    }
}

} // namespace
} // namespace pulo
