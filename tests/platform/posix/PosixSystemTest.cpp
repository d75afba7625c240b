#include "platform/posix/PosixSystem.h"

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

} // namespace
} // namespace win::posix
