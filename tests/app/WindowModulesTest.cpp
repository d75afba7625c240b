// The windows kept in modules: looked for in the given folders in order, with a message for the
// user that says where and why when one cannot be loaded.

#include "app/WindowModules.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(WindowModulesTest, EachModuleIsFoundBesideTheProgramAndAMissingOneIsExplained)
{
    QTemporaryDir empty;
    QTemporaryDir damaged;
    for (const char* module : {"pulopro-usage.so", "pulopro-log.so"}) {
        QFile fake(damaged.filePath(QString::fromLatin1(module)));
        ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
        fake.write("not a library");
    }

    const TUsageWindowLoad none = MakeUsageWindow({}, {empty.path(), damaged.path()});
    EXPECT_EQ(none.Window, nullptr);
    EXPECT_TRUE(none.Problem.startsWith(QStringLiteral("The Usage window cannot be opened")));
    EXPECT_TRUE(none.Problem.contains(QStringLiteral("pulopro-usage")));
    EXPECT_TRUE(none.Problem.contains(empty.path()));
    EXPECT_TRUE(none.Problem.contains(damaged.path()));
    const TLogViewerLoad noViewer = MakeLogViewer({empty.path(), damaged.path()});
    EXPECT_EQ(noViewer.Window, nullptr);
    EXPECT_TRUE(noViewer.Problem.startsWith(QStringLiteral("The log viewer cannot be opened")));
    EXPECT_TRUE(noViewer.Problem.contains(QStringLiteral("pulopro-log")));

    // The test program has copies beside it, as the program does; the damaged ones are tried first.
    const QStringList folders = {damaged.path(), QCoreApplication::applicationDirPath(), empty.path()};
    const TUsageWindowLoad found = MakeUsageWindow({}, folders);
    ASSERT_NE(found.Window, nullptr) << found.Problem.toStdString();
    EXPECT_EQ(found.Window->objectName(), QStringLiteral("frmUsage"));
    EXPECT_TRUE(found.Problem.isEmpty());
    const TLogViewerLoad viewer = MakeLogViewer(folders);
    ASSERT_NE(viewer.Window, nullptr) << viewer.Problem.toStdString();
    EXPECT_EQ(viewer.Window->objectName(), QStringLiteral("frmLog"));

    EXPECT_EQ(ModuleFolders(QStringLiteral("/opt/x/bin")),
              QStringList({QStringLiteral("/opt/x/bin"), QStringLiteral("/opt/x/lib/pulopro")}));
}

} // namespace
} // namespace pulo
