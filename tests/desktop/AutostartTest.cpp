#include "desktop/Autostart.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(AutostartTest, TheEntryIsWrittenValidAndRemoved)
{
    // The tests' own configuration folder (TestEnvironment).
    ASSERT_TRUE(AutostartPath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    EXPECT_FALSE(AutostartEnabled());
    ASSERT_TRUE(SetAutostart(true));
    EXPECT_TRUE(AutostartEnabled());
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {AutostartPath()});
    if (validate.waitForStarted()) {
        validate.waitForFinished();
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }
    QFile entry(AutostartPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=pulopro\n"));
    ASSERT_TRUE(SetAutostart(false));
    EXPECT_FALSE(AutostartEnabled());
    EXPECT_TRUE(SetAutostart(false)) << "removing what is not there is no failure";
}

} // namespace
} // namespace pulo
