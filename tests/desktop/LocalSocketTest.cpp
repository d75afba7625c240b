// The single-copy socket under callers that misbehave: many at once, one that pipelines requests,
// one that never reads its answers. Real sockets; the window's thread is this test's.

#include "desktop/LocalSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace pulo {
namespace {

// A raw caller: connected, writes what it is given, reads only when asked to.
int Connect(const QString& path)
{
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(socket);
        return -1;
    }
    return socket;
}

// What the caller has been sent so far, without waiting; -1 once the other side has closed.
long Drain(int socket)
{
    char chunk[65536];
    long taken = 0;
    for (;;) {
        const ssize_t got = recv(socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0)
            taken += got;
        else if (got == 0)
            return taken > 0 ? taken : -1;
        else
            return taken;
    }
}

// The descriptors this process has open.
int OpenDescriptors()
{
    int open = 0;
    for (int fd = 0; fd < 4096; ++fd)
        open += fcntl(fd, F_GETFD) >= 0 ? 1 : 0;
    return open;
}

class LocalSocketTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Path = Folder.filePath(QStringLiteral("socket"));
        ASSERT_TRUE(Listener.Listen(Path));
        Listener.OnLine = [this](const QByteArray& line) {
            ++Answered;
            return AnswerSize > 0 ? QByteArray(AnswerSize, 'x') + '\n' : line;
        };
    }

    QTemporaryDir Folder;
    QString Path;
    TLocalListener Listener;
    int Answered = 0;
    int AnswerSize = 0;
};

TEST_F(LocalSocketTest, ACallerThatPipelinesRequestsIsServedInTurns)
{
    const int caller = Connect(Path);
    ASSERT_GE(caller, 0);
    const QByteArray requests = QByteArray("status\n").repeated(2000);
    ASSERT_EQ(send(caller, requests.constData(), static_cast<std::size_t>(requests.size()), 0), requests.size());
    bool otherWorkRan = false;
    QTimer::singleShot(0, [&] { otherWorkRan = true; });
    long received = 0;
    QElapsedTimer waited;
    waited.start();
    while (received < requests.size() && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!otherWorkRan) {
            EXPECT_LT(Answered, 2000) << "the window's other work waited for every request";
        }
        received += std::max(0L, Drain(caller));
    }
    EXPECT_TRUE(otherWorkRan);
    EXPECT_EQ(received, requests.size()) << "every request answered, in the end";
    EXPECT_EQ(Answered, 2000);
    close(caller);
}

TEST_F(LocalSocketTest, ACallerThatNeverReadsIsLetGoWithoutHoldingTheThread)
{
    AnswerSize = 60000;
    Listener.PatienceMs = 200;
    const int caller = Connect(Path);
    ASSERT_GE(caller, 0);
    const QByteArray requests = QByteArray("status\n").repeated(50);
    ASSERT_EQ(send(caller, requests.constData(), static_cast<std::size_t>(requests.size()), 0), requests.size());
    QElapsedTimer turn;
    for (int i = 0; i < 40; ++i) {
        turn.start();
        QCoreApplication::processEvents();
        EXPECT_LT(turn.elapsed(), 500) << "one turn of the thread waited for the caller";
    }
    EXPECT_LT(Answered, 50) << "a caller that takes nothing is not answered on and on";
    // What it was sent, then the end once its patience has run out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Drain(caller) < 0; }, 5000)) << "the listener let go of it";
    close(caller);
}

TEST_F(LocalSocketTest, CallersBeyondTheBoundAreRefusedAndTheRestServed)
{
    const int before = OpenDescriptors();
    std::vector<int> callers;
    for (int i = 0; i < 200; ++i) {
        const int caller = Connect(Path);
        if (caller >= 0)
            callers.push_back(caller);
        QCoreApplication::processEvents();
    }
    EXPECT_LT(OpenDescriptors() - before - static_cast<int>(callers.size()), 40)
        << "the listener holds a few dozen callers at most";
    for (const int caller : callers)
        close(caller);
    QCoreApplication::processEvents();
    // With no descriptor left for a caller, the listener rests instead of spinning, and serves
    // again once there are.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit saved = limit;
    std::vector<int> filler;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0 && filler.size() < 100000;)
        filler.push_back(fd);
    ASSERT_EQ(errno, EMFILE);
    close(filler.back()); // room for the caller's own end only
    filler.pop_back();
    const int starved = Connect(Path);
    ASSERT_GE(starved, 0);
    QElapsedTimer turn;
    turn.start();
    int turns = 0;
    while (turn.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ++turns;
    }
    for (const int fd : filler)
        close(fd);
    EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    ASSERT_EQ(send(starved, "hello\n", 6, 0), 6);
    QByteArray answer;
    QElapsedTimer waited;
    waited.start();
    while (!answer.endsWith('\n') && waited.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        char chunk[64];
        const ssize_t got = recv(starved, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0)
            answer.append(chunk, got);
    }
    EXPECT_EQ(answer, QByteArray("hello\n")) << "served once descriptors are free";
    close(starved);
}

} // namespace
} // namespace pulo
