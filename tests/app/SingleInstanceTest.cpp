// One copy per settings file, with the program itself: a second start ends at once, leaving the
// first to show its window; a socket left by a killed copy does not keep a new one from running.

#include "desktop/SingleInstance.h"

#include "tests/support/ProgramCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <latch>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pulo {
namespace {

// The runtime folder the sockets go to, for one test, the old one back after it.
class TRuntimeFolder final
{
public:
    explicit TRuntimeFolder(const QString& folder) : Old(qgetenv("XDG_RUNTIME_DIR"))
    {
        qputenv("XDG_RUNTIME_DIR", folder.toLocal8Bit());
    }
    ~TRuntimeFolder() { Old.isEmpty() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", Old); }
    TRuntimeFolder(const TRuntimeFolder&) = delete;
    TRuntimeFolder& operator=(const TRuntimeFolder&) = delete;

private:
    QByteArray Old;
};

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Program = test::CopyProgram(Folder);
        ASSERT_TRUE(QFile::exists(Program));
        Environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        Environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Folder.path());
    }
    void Start(QProcess& process) const
    {
        process.setProcessEnvironment(Environment);
        process.start(Program, {});
        ASSERT_TRUE(process.waitForStarted());
    }
    [[nodiscard]] QString Socket() const
    {
        const TRuntimeFolder runtime(Folder.path());
        return TSingleInstance(Folder.filePath(QStringLiteral("pulopro.ini"))).SocketPath();
    }

    QTemporaryDir Folder;
    QString Program;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(SingleInstanceTest, ASecondStartRaisesTheFirstAndEnds)
{
    QProcess first;
    Start(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(Socket()); }, 10000)) << "the first copy listens";
    QProcess second;
    Start(second);
    ASSERT_TRUE(second.waitForFinished(10000)) << "the second start ends";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // A copy killed leaves its socket behind: the next start runs all the same.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished();
    ASSERT_TRUE(QFile::exists(Socket())) << "the socket is left behind";
    QProcess third;
    Start(third);
    EXPECT_FALSE(third.waitForFinished(2000)) << "it runs, as the only copy";
    third.kill();
    third.waitForFinished();
}

TEST(SingleInstanceClaimTest, TheFirstClaimListensTheSecondAsksItToRaise)
{
    QTemporaryDir folder;
    const TRuntimeFolder runtime(folder.path());
    const QString settings = folder.filePath(QStringLiteral("pulopro.ini"));
    TSingleInstance first(settings);
    int raised = 0;
    first.OnRaise = [&] { ++raised; };
    ASSERT_TRUE(first.Claim());
    // Later starts ask from a thread of their own, as another process would, while this one
    // answers; every one of them raises the window, however its request and its connection arrive.
    constexpr int Starts = 20;
    for (int start = 1; start <= Starts; ++start) {
        bool secondRuns = true;
        std::thread later([&] {
            TSingleInstance second(settings);
            secondRuns = second.Claim();
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return raised == start; }, 5000)) << "start " << start;
        later.join();
        EXPECT_FALSE(secondRuns);
    }
    TSingleInstance other(folder.filePath(QStringLiteral("other.ini")));
    EXPECT_TRUE(other.Claim()) << "another settings file is another copy";
}

TEST(SingleInstanceClaimTest, CopiesStartedAtTheSameMomentLeaveOneRunning)
{
    QTemporaryDir folder;
    const TRuntimeFolder runtime(folder.path());
    const QString settings = folder.filePath(QStringLiteral("pulopro.ini"));
    constexpr int Copies = 8;
    std::atomic<int> running = 0;
    std::atomic<int> claimed = 0;
    std::latch ready(Copies);
    std::vector<std::unique_ptr<QThread>> starts;
    for (int copy = 0; copy < Copies; ++copy)
        starts.emplace_back(QThread::create([&] {
            TSingleInstance start(settings);
            ready.arrive_and_wait();
            if (start.Claim())
                ++running;
            ++claimed;
            // Each copy keeps its socket, and answers on it, until all have started.
            while (claimed < Copies)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }));
    for (const auto& start : starts)
        start->start();
    for (const auto& start : starts)
        start->wait();
    EXPECT_EQ(running, 1);
}

TEST(SingleInstanceClaimTest, TheGuardsFolderIsTheUsersOwnWhateverTheRuntimeFolderSays)
{
    QTemporaryDir folder;
    const QString temporary = folder.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkdir(temporary));
    const QByteArray oldTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", temporary.toLocal8Bit());
    const QString others = folder.filePath(QStringLiteral("others"));
    ASSERT_TRUE(QDir().mkdir(others));
    const bool canGiveAway = ::chown(others.toLocal8Bit().constData(), 65534, 65534) == 0;
    const struct
    {
        const char* Name;
        QString Runtime;
    } cases[] = {{"unset", QString()},
                 {"another user's", canGiveAway ? others : QString()},
                 {"a private one of its own", folder.path()}};
    // The system's runtime folder of the user, where there is one; else the temporary folder.
    const QFileInfo system(QStringLiteral("/run/user/%1").arg(::getuid()));
    const QString expected = system.isDir() && system.ownerId() == ::getuid() ? system.filePath() : temporary;
    QString firstPath;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRuntimeFolder runtime(c.Runtime);
        if (c.Runtime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        const QString settings = folder.filePath(QStringLiteral("pulopro.ini"));
        TSingleInstance first(settings);
        if (firstPath.isEmpty())
            firstPath = first.SocketPath();
        EXPECT_EQ(first.SocketPath(), firstPath) << "the same socket, whatever the environment";
        const QFileInfo socketFolder(QFileInfo(first.SocketPath()).path());
        EXPECT_TRUE(socketFolder.filePath() == expected || socketFolder.path() == expected)
            << first.SocketPath().toStdString();
        EXPECT_EQ(socketFolder.ownerId(), ::getuid());
        EXPECT_EQ(socketFolder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                                QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther),
                  QFile::Permissions());
        ASSERT_TRUE(first.Claim());
        std::atomic<int> secondRuns = -1;
        std::thread later([&] { secondRuns = TSingleInstance(settings).Claim() ? 1 : 0; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return secondRuns >= 0; }, 10000));
        later.join();
        EXPECT_EQ(secondRuns, 0) << "the guard holds";
    }
    // Someone else made the private folder's name first: it is not used, and nothing is put in it.
    if (canGiveAway) {
        const QString taken = temporary + QStringLiteral("/pulopro-%1").arg(::getuid());
        QDir(taken).removeRecursively();
        ASSERT_TRUE(QDir().mkdir(taken));
        ASSERT_EQ(::chown(taken.toLocal8Bit().constData(), 65534, 65534), 0);
        qunsetenv("XDG_RUNTIME_DIR");
        EXPECT_TRUE(TSingleInstance(folder.filePath(QStringLiteral("pulopro.ini"))).SocketPath().isEmpty());
    }
    oldTemporary.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTemporary);
}

} // namespace
} // namespace pulo
