// A started copy maps none of the libraries its first window does without: each would cost every
// user memory and start-up time for a window or a format they may never open.

#include "tests/support/ProgramCopy.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(StartLibrariesTest, AStartedCopyMapsNoLibraryItsWindowDoesWithout)
{
    QTemporaryDir folder;
    const QString program = test::CopyProgram(folder);
    QProcess copy;
    test::StartProgram(copy, program, folder);
    ASSERT_TRUE(copy.waitForStarted());
    // The history opens a second after the window has been shown and drawn.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(folder.filePath(QStringLiteral("pulopro.sqlite"))); }, 10000));
    QFile maps(QStringLiteral("/proc/%1/maps").arg(copy.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QString mapped = QString::fromLocal8Bit(maps.readAll());
    copy.terminate();
    copy.waitForFinished(5000);

    const struct
    {
        const char* Library;
        const char* Why;
    } unwanted[] = {
        {"/imageformats/", "an image plugin: the window's pictures are PNG and XPM, read without asking them"},
        {"libQt6Svg", "the icons are drawn by the program itself"},
        {"libQt6Charts", "the Usage window's charts, loaded with the window"},
        {"libQt6PrintSupport", "the log viewer's printing, loaded with the viewer"},
        {"libQt6Network", "the single-copy socket is the system's own"},
    };
    for (const auto& library : unwanted)
        EXPECT_FALSE(mapped.contains(QLatin1String(library.Library))) << library.Library << ": " << library.Why;
}

TEST(StartLibrariesTest, ALibraryInTheWorkingFolderIsNeverLoaded)
{
    // Somebody's download folder holds a file named as one of the program's libraries: a start
    // from there takes the system's.
    QTemporaryDir folder;
    QTemporaryDir working;
    const QString program = test::CopyProgram(folder);
    for (const char* name : {"libQt6Sql.so.6", "libQt6Core.so.6", "libchm.so.1"}) {
        QFile planted(working.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
        planted.write("not a library");
    }
    QProcess copy;
    copy.setWorkingDirectory(working.path());
    test::StartProgram(copy, program, folder);
    ASSERT_TRUE(copy.waitForStarted());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(folder.filePath(QStringLiteral("pulopro.sqlite"))); }, 10000))
        << "the copy runs: " << copy.readAllStandardError().toStdString();
    copy.terminate();
    copy.waitForFinished(5000);
}

} // namespace
} // namespace pulo
