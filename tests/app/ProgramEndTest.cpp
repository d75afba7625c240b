// Ending the program itself by a signal while nobody can answer a box: it says what it could not
// write on standard error and ends within a few seconds.

#include "tests/support/ProgramCopy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace pulo {
namespace {

TEST(ProgramEndTest, ATerminationSignalEndsTheProgramSoonEvenWhenTheSettingsCannotBeWritten)
{
    for (const bool atStart : {true, false}) {
        SCOPED_TRACE(atStart ? "the settings refused at start, a box waiting" : "the settings refused at the end");
        QTemporaryDir folder;
        const QString program = test::CopyProgram(folder);
        const QString settings = folder.filePath(QStringLiteral("pulopro.ini"));
        if (atStart) {
            ASSERT_TRUE(QDir().mkdir(settings)); // no settings file can be written there
        }
        QProcess copy;
        test::StartProgram(copy, program, folder);
        ASSERT_TRUE(copy.waitForStarted());
        if (atStart) {
            QTest::qWait(1500); // long enough to be showing start-up's box
        } else {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return QFile::exists(folder.filePath(QStringLiteral("pulopro.sqlite"))); }, 10000));
            ASSERT_TRUE(QFile::remove(settings) || !QFile::exists(settings));
            ASSERT_TRUE(QDir().mkdir(settings));
        }
        QElapsedTimer ending;
        ending.start();
        ::kill(static_cast<pid_t>(copy.processId()), SIGTERM);
        const bool ended = copy.waitForFinished(5000);
        if (!ended)
            copy.kill();
        ASSERT_TRUE(ended) << "still running " << ending.elapsed() << " ms after SIGTERM";
        EXPECT_EQ(copy.exitStatus(), QProcess::NormalExit);
        const QString said = QString::fromLocal8Bit(copy.readAllStandardError());
        EXPECT_TRUE(said.contains(QStringLiteral("Unable to write to"))) << said.toStdString();
        copy.waitForFinished();
    }
}

} // namespace
} // namespace pulo
