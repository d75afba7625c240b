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
    std::vector<ProgramBytes> programs;
    std::string why;
    EXPECT_FALSE(client.Programs("lo", programs, why));
    EXPECT_EQ(why.rfind("the per-program meter is not running", 0), 0U) << why;
    EXPECT_FALSE(client.Programs("lo\nprograms eth0", programs, why)) << "one request, of a plain name";
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
    std::vector<ProgramBytes> programs;
    std::string why;
    ASSERT_TRUE(client.Programs("lo", programs, why)) << why;
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const auto mine =
        std::find_if(programs.begin(), programs.end(), [&](const ProgramBytes& p) { return p.Path == self; });
    ASSERT_NE(mine, programs.end()) << "this program is among the meter's";
    EXPECT_EQ(mine->Sent, 20U * 1028) << "each datagram with its IPv4 and UDP headers";
    EXPECT_EQ(mine->Received, 20U * 1028);
    EXPECT_EQ(mine->SentPackets, 20U);
    EXPECT_FALSE(client.Programs("nosuch0", programs, why));
    EXPECT_EQ(why, "the meter said: no interface nosuch0");
    meter.terminate();
    ASSERT_TRUE(meter.waitForFinished(5000));
    EXPECT_TRUE(meter.readAllStandardError().contains("nothing is left attached"));
}

} // namespace
} // namespace win::posix
