#include "platform/posix/PosixSystem.h"

#include "platform/posix/PosixShell.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace win::posix {
namespace {

TEST(PosixSystemTest, AReplacedExecutableKeepsItsName)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const struct
    {
        const char* Target;
        const char* Expected;
    } cases[] = {
        {"/opt/pulopro/bin/pulopro (deleted)", "/opt/pulopro/bin/pulopro"},
        {"/opt/pulopro/bin/pulopro", "/opt/pulopro/bin/pulopro"},
        {"/home/u/my (deleted) build/pulopro", "/home/u/my (deleted) build/pulopro"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Target);
        // /proc/self/exe is a link like this one.
        const std::string link = folder.filePath(QString::number(n++)).toStdString();
        ASSERT_EQ(symlink(c.Target, link.c_str()), 0);
        EXPECT_EQ(ExecutablePath(link), c.Expected);
    }
}

TEST(PosixSystemTest, TheClockReadsAsTheLocalTimeAcrossTheTurnOfASecond)
{
    // Read many times within one second and into the next, as the window's tick reads it: every
    // reading lies between the system's local time just before and just after it.
    PosixSystem system;
    const auto asQDateTime = [](const SYSTEMTIME& t) {
        return QDateTime(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds));
    };
    const QDateTime first = QDateTime::currentDateTime();
    int seconds = 0;
    for (WORD lastSecond = 99; seconds < 2 && first.msecsTo(QDateTime::currentDateTime()) < 2100;) {
        const QDateTime before = QDateTime::currentDateTime();
        SYSTEMTIME now{};
        system.LocalTime(now);
        const QDateTime after = QDateTime::currentDateTime();
        const QDateTime read = asQDateTime(now);
        ASSERT_GE(read, before) << read.toString(Qt::ISODateWithMs).toStdString();
        ASSERT_LE(read, after) << read.toString(Qt::ISODateWithMs).toStdString();
        if (now.wSecond != lastSecond) {
            lastSecond = now.wSecond;
            ++seconds;
        }
    }
    EXPECT_EQ(seconds, 2);
}

TEST(PosixShellTest, AnAddressReachesXdgOpenAsOneArgument)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A stand-in xdg-open that writes its arguments into a pipe the test reads: the read waits
    // for the stand-in, no clock is involved.
    const QString script = folder.filePath(QStringLiteral("xdg-open"));
    const QByteArray pipe = (script + QStringLiteral(".args")).toLocal8Bit();
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$0.args\"\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", folder.path().toLocal8Bit() + ":" + oldPath);
    const std::string address = "https://example.org/?a=1&b='2' ; touch \"$HOME/owned\"";
    const bool started = MakePosixShell()->Open(address);
    qputenv("PATH", oldPath);
    ASSERT_TRUE(started);
    const int fd = open(pipe.constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string said;
    char chunk[512];
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;)
        said.append(chunk, static_cast<std::size_t>(got));
    close(fd);
    EXPECT_EQ(said, "1\n" + address + "\n");
}

} // namespace
} // namespace win::posix
