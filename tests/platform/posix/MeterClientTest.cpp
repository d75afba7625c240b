// PuloPro's client of the per-program meter against the real meter, counting this test's own
// network namespace: the bytes this program moves on the loopback line come back as its own.

#include "platform/posix/MeterClient.h"

#include "tests/support/NetnsTestMain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <climits>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace win::posix {
namespace {

TEST(MeterClientTest, WithoutAMeterItSaysSo)
{
    MeterClient client("/nonexistent/pulopro-meter/socket");
    MeterAnswer programs;
    std::string why;
    EXPECT_EQ(client.Identify("nosuch0"), "");
    EXPECT_EQ(client.Identify("lo\nprograms eth0"), "") << "one request, of a plain name";
    for (const char* identity : {"lo", "#", "#1x", "#0", "#1\nprograms #2"})
        EXPECT_FALSE(client.Programs(identity, programs, why)) << identity;
    EXPECT_FALSE(client.Programs(client.Identify("lo"), programs, why));
    EXPECT_EQ(why.rfind("the per-program meter is not running", 0), 0U) << why;
}

TEST(MeterClientTest, ThisProgramsBytesOnTheLineAreItsOwn)
{
    PULO_NEEDS_NETWORK_NAMESPACE();
    QTemporaryDir folder;
    const QString socketPath = folder.filePath(QStringLiteral("socket"));
    QProcess meter;
    meter.start(QStringLiteral(PULOPRO_METER), {QStringLiteral("--socket"), socketPath});
    ASSERT_TRUE(meter.waitForStarted());
    const bool listening =
        QTest::qWaitFor([&] { return QFile::exists(socketPath) || meter.state() == QProcess::NotRunning; }, 10000);
    if (meter.state() == QProcess::NotRunning) {
        const QByteArray said = meter.readAllStandardError();
        if (said.contains("missing capability"))
            GTEST_SKIP() << "skipped: " << said.toStdString();
        FAIL() << said.toStdString();
    }
    ASSERT_TRUE(listening);

    // The namespace's loopback, up.
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    ASSERT_EQ(ioctl(control, SIOCGIFFLAGS, &loopback), 0);
    loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
    ASSERT_EQ(ioctl(control, SIOCSIFFLAGS, &loopback), 0);
    close(control);

    // Twenty datagrams of 1000 bytes to a socket of this program's own, through the loopback.
    const int receiver = socket(AF_INET, SOCK_DGRAM, 0);
    const int sender = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(receiver, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &size), 0);
    char datagram[1000] = {};
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(sendto(sender, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&address), sizeof address),
                  1000);
        ASSERT_EQ(recv(receiver, datagram, sizeof datagram, 0), 1000);
    }
    close(sender);
    close(receiver);

    MeterClient client(socketPath.toStdString());
    MeterAnswer answer;
    std::vector<ProgramBytes>& programs = answer.Programs;
    std::string why;
    const std::string identity = client.Identify("lo");
    ASSERT_TRUE(client.Programs(identity, answer, why)) << why;
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const auto mine =
        std::find_if(programs.begin(), programs.end(), [&](const ProgramBytes& p) { return p.Path == self; });
    ASSERT_NE(mine, programs.end()) << "this program is among the meter's";
    EXPECT_EQ(mine->Sent, 20U * 1028) << "each datagram with its IPv4 and UDP headers";
    EXPECT_EQ(mine->Received, 20U * 1028);
    EXPECT_EQ(mine->SentPackets, 20U);
    // The loopback's own counters say the same: nothing else used this namespace's line.
    QFile table(QStringLiteral("/proc/self/net/dev"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = table.readAll().split('\n');
    const auto lo =
        std::find_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.trimmed().startsWith("lo:"); });
    ASSERT_NE(lo, lines.end());
    const QList<QByteArray> fields = lo->mid(lo->indexOf(':') + 1).simplified().split(' ');
    EXPECT_EQ(mine->Received, fields.value(0).toULongLong());
    EXPECT_EQ(mine->Sent, fields.value(8).toULongLong());
    // A link the meter never saw carried nothing it knows of.
    EXPECT_TRUE(client.Programs("#999999", answer, why)) << why;
    EXPECT_TRUE(programs.empty());
    meter.terminate();
    ASSERT_TRUE(meter.waitForFinished(5000));
    EXPECT_TRUE(meter.readAllStandardError().contains("nothing is left attached"));
}

} // namespace
} // namespace win::posix
