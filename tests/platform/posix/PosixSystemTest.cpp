#include "platform/posix/PosixSystem.h"

#include "platform/posix/PosixShell.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

TEST(PosixShellTest, AnAddressReachesXdgOpenAsOneArgument)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A stand-in xdg-open that writes down its arguments.
    const QString script = folder.filePath(QStringLiteral("xdg-open"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"$0.args.part\" && mv \"$0.args.part\" \"$0.args\"\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", folder.path().toLocal8Bit() + ":" + oldPath);
    const std::string address = "https://example.org/?a=1&b='2' ; touch \"$HOME/owned\"";
    EXPECT_TRUE(MakePosixShell()->Open(address));
    qputenv("PATH", oldPath);
    QFile args(script + QStringLiteral(".args"));
    for (int i = 0; i < 500 && !args.exists(); ++i)
        usleep(10000); // xdg-open runs on its own; this waits for its answer, it marks no time
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll(), QByteArray("1\n") + QByteArray::fromStdString(address) + "\n");
}

} // namespace
} // namespace win::posix
