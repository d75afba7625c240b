// The Usage window's module: looked for in the given folders in order, with a message for the
// user that says where and why when it cannot be loaded.

#include "app/UsageWindowLoader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(UsageWindowLoaderTest, TheModuleIsFoundBesideTheProgramAndAMissingOneIsExplained)
{
    QTemporaryDir empty;
    QTemporaryDir damaged;
    QFile fake(damaged.filePath(QStringLiteral("pulopro-usage.so")));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a library");
    fake.close();

    const TUsageWindowLoad none = MakeUsageWindow({}, {empty.path(), damaged.path()});
    EXPECT_EQ(none.Window, nullptr);
    EXPECT_TRUE(none.Problem.contains(QStringLiteral("pulopro-usage")));
    EXPECT_TRUE(none.Problem.contains(empty.path()));
    EXPECT_TRUE(none.Problem.contains(damaged.path()));

    // The test program has a copy beside it, as the program does; the damaged one is tried first.
    const TUsageWindowLoad found =
        MakeUsageWindow({}, {damaged.path(), QCoreApplication::applicationDirPath(), empty.path()});
    ASSERT_NE(found.Window, nullptr) << found.Problem.toStdString();
    EXPECT_EQ(found.Window->objectName(), QStringLiteral("frmUsage"));
    EXPECT_TRUE(found.Problem.isEmpty());

    EXPECT_EQ(UsageWindowFolders(QStringLiteral("/opt/x/bin")),
              QStringList({QStringLiteral("/opt/x/bin"), QStringLiteral("/opt/x/lib/pulopro")}));
}

} // namespace
} // namespace pulo
