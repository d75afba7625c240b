// PuloPro's client of the per-program meter against the real meter, counting this test's own
// network namespace: the bytes this program moves on the loopback line come back as its own.

#include "platform/posix/MeterClient.h"

#include "platform/posix/TcpSocketMeter.h"
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

// The namespace's loopback, up.
bool LoopbackUp()
{
    const int control = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq loopback{};
    std::strcpy(loopback.ifr_name, "lo");
    bool up = ioctl(control, SIOCGIFFLAGS, &loopback) == 0;
    loopback.ifr_flags = static_cast<short>(loopback.ifr_flags | IFF_UP);
    up = up && ioctl(control, SIOCSIFFLAGS, &loopback) == 0;
    close(control);
    return up;
}

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

    ASSERT_TRUE(LoopbackUp());

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

// The loopback's counters in this namespace: bytes received and sent.
std::pair<std::uint64_t, std::uint64_t> LoopbackCounters()
{
    QFile table(QStringLiteral("/proc/self/net/dev"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : table.readAll().split('\n')) {
        if (!line.trimmed().startsWith("lo:"))
            continue;
        const QList<QByteArray> fields = line.mid(line.indexOf(':') + 1).simplified().split(' ');
        return {fields.value(0).toULongLong(), fields.value(8).toULongLong()};
    }
    return {};
}

TEST(TcpSocketMeterTest, WithoutTheMeterThisProgramsTcpIsItsOwnToTheLinesCounters)
{
    PULO_NEEDS_NETWORK_NAMESPACE();
    ASSERT_TRUE(LoopbackUp());

    TcpSocketMeter meter;
    const std::string identity = meter.Identify("lo");
    ASSERT_FALSE(identity.empty());
    MeterAnswer before;
    std::string why;
    ASSERT_TRUE(meter.Programs(identity, before, why)) << why;
    const auto [receivedBefore, sentBefore] = LoopbackCounters();

    // A connection of this program's own over the loopback: 300 000 bytes one way, 50 000 the
    // other, looked at while it is open, then closed before the last look.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const int server = accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);
    std::vector<char> block(10000, 'x');
    const auto move = [&](int from, int to, int blocks) {
        for (int i = 0; i < blocks; ++i) {
            ASSERT_EQ(send(from, block.data(), block.size(), 0), static_cast<ssize_t>(block.size()));
            std::size_t got = 0;
            while (got < block.size()) {
                const ssize_t now = recv(to, block.data(), block.size() - got, 0);
                ASSERT_GT(now, 0);
                got += static_cast<std::size_t>(now);
            }
        }
    };
    move(client, server, 10);
    MeterAnswer during;
    ASSERT_TRUE(meter.Programs(identity, during, why)) << why;
    move(client, server, 20);
    move(server, client, 5);
    close(client);
    close(server);
    close(listener);
    QTest::qWait(100); // the closing segments
    MeterAnswer after;
    ASSERT_TRUE(meter.Programs(identity, after, why)) << why;
    EXPECT_EQ(after.Source, "tcp");
    EXPECT_NE(after.Note.find("UDP"), std::string::npos) << after.Note;
    const auto [receivedAfter, sentAfter] = LoopbackCounters();

    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const auto mine = [&](const MeterAnswer& answer) {
        const auto found = std::find_if(answer.Programs.begin(), answer.Programs.end(),
                                        [&](const ProgramBytes& p) { return p.Path == self; });
        return found == answer.Programs.end() ? ProgramBytes{} : *found;
    };
    const ProgramBytes start = mine(before);
    const ProgramBytes end = mine(after);
    ASSERT_EQ(end.Program, std::string(self).substr(std::string(self).rfind('/') + 1));
    // Both ends are this program's: all the loopback carried is its own, within the options of
    // the handshake and the last acknowledgement, sent after the socket was gone.
    const double sent = static_cast<double>(end.Sent - start.Sent);
    const double line = static_cast<double>(sentAfter - sentBefore);
    EXPECT_GE(line, 350000);
    EXPECT_NEAR(sent, line, 0.001 * line) << "sent";
    EXPECT_NEAR(static_cast<double>(end.Received - start.Received), static_cast<double>(receivedAfter - receivedBefore),
                0.001 * line)
        << "received";
}

} // namespace
} // namespace win::posix
