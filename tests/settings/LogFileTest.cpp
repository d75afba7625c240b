#include "settings/LogFile.h"

#include "common/FormatSettings.h"
#include "common/PuloError.h"
#include "settings/IniFile.h"
#include "settings/LogJournal.h"
#include "settings/LogLines.h"
#include "settings/LogTail.h"
#include "settings/RichText.h"
#include "settings/Settings.h"
#include "tests/support/SimPlatformTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <functional>
#include <random>
#include <sys/stat.h>

namespace pulo {
namespace {

using LogFileTest = test::SimPlatformTest;

TDateTime At(int year, int month, int day, int hour, int minute, int second)
{
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

TEST(LogLinesTest, LinesAndBlocksToTheCharacter)
{
    const TDateTime start = At(2002, 5, 20, 10, 15, 2);
    const struct
    {
        const char* Name;
        QString Line;
        QString Expected;
    } cases[] = {
        {"the example",
         ConnectionLine(std::floor(start), start, At(2002, 5, 20, 11, 2, 47), 0, 47, 45, 123.456, 2345.678,
                        QStringLiteral("MyISP")),
         QStringLiteral("20/05/2002 \u2022 10:15:02 \u2014> 11:02:47 \u2022 00:47:45 \u2022  123.456 \u2022 2345.678 "
                        "\u2022 MyISP")},
        {"wide figures are whole, no name",
         ConnectionLine(std::floor(start), start, At(2002, 5, 21, 11, 18, 2), 25, 3, 0, 12345.678, 0, QString()),
         QStringLiteral("20/05/2002 \u2022 10:15:02 \u2014> 11:18:02 \u2022 25:03:00 \u2022 12345.678 \u2022        0 "
                        "\u2022 ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Line, c.Expected);
    }
    EXPECT_EQ(MonthTotalsBlock(12, "11", "6", "40", 1234.567, 45678.9),
              (QStringList{" " + QString(75, '-'), " Month totals: ", " Connections       : 12",
                           " Time online       : 011:06:40", " Megabytes sent    : 1.234567",
                           " Megabytes received: 45.6789 ", " " + QString(75, '=')}));
}

TEST(RichTextTest, WhatIsWrittenReadsBackLineForLine)
{
    const QStringList lines = {"20/05/2002 \u2022 10:15:02 \u2014> 11:02:47",
                               "  two leading, two trailing  ",
                               "",
                               "braces {} and a \\ backslash",
                               "\u20ac and \u00e9 and \u0416",
                               " Megabytes: 45.6789 "};
    const QByteArray written = WriteRichText(lines);
    EXPECT_TRUE(written.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    EXPECT_TRUE(written.contains("\\'95")) << "the bullet as its code-page byte";
    EXPECT_EQ(ReadRichText(written), lines);
}

TEST(RichTextTest, AReaderWeDidNotWriteSeesTheSameLines)
{
    if (QProcess::execute(QStringLiteral("unrtf"), {QStringLiteral("--version")}) != 0)
        GTEST_SKIP() << "skipped: unrtf is not installed";
    const QStringList lines = {
        "20/05/2002 \u2022 10:15:02 \u2014> 11:02:47 \u2022 00:47:45 \u2022  123.456 \u2022 MyISP",
        " Month totals: ", " Time online       : 011:06:40"};
    QTemporaryDir folder;
    QFile file(folder.filePath("log.rtf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteRichText(lines));
    file.close();
    QProcess unrtf;
    unrtf.start(QStringLiteral("unrtf"), {QStringLiteral("--html"), file.fileName()});
    ASSERT_TRUE(unrtf.waitForFinished(10000));
    QString html = QString::fromUtf8(unrtf.readAllStandardOutput());
    html = html.mid(html.indexOf(QStringLiteral("<body>")));
    html.replace(QStringLiteral("&bull;"), QStringLiteral("\u2022"))
        .replace(QStringLiteral("&mdash;"), QStringLiteral("\u2014"));
    html.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    html.remove(QRegularExpression(QStringLiteral("<(?!br)[^>]*>")));
    // unrtf folds runs of blanks into one; compare with the lines folded the same way.
    QStringList seen = html.split(QStringLiteral("<br>"));
    for (QString& line : seen)
        line = line.simplified();
    QStringList expected = lines;
    for (QString& line : expected)
        line = line.simplified();
    EXPECT_EQ(seen.mid(0, expected.size()), expected);
}

TEST(RichTextTest, OtherDocumentsPlainTextAndHostileData)
{
    const QByteArray word =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}{\\*\\generator Writer;}"
        "{\\info{\\title t}}\\uc1 first\\line second \\u1046?x {\\b bold}\\bin3 {}}\\par last\\par }";
    const struct
    {
        const char* Name;
        QByteArray Data;
        QStringList Lines;
    } cases[] = {
        {"a word processor's RTF", word, {"first", "second \u0416x bold", "last"}},
        {"plain text, CR LF", "one\r\ntwo\r\n", {"one", "two"}},
        {"plain text, LF and a lone CR", "one\ntwo\rthree", {"one", "two", "three"}},
        {"plain code page 1252", "a \x95 b \x97", {"a \u2022 b \u2014"}},
        {"empty", "", {}},
        {"cut short", "{\\rtf1 one\\par tw", {"one", "tw"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ReadRichText(c.Data), c.Lines);
    }
    // Never a crash or a hang: deep nesting, garbage, a \bin longer than the data.
    QByteArray garbage(1 << 20, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) % 251);
    for (const QByteArray& data : {"{\\rtf1 " + QByteArray(2000000, '{') + "x", QByteArray("{\\rtf1 \\bin999999999 ab"),
                                   garbage, "{\\rtf1 " + garbage, QByteArray("{\\rtf1\\u-99999999999999999999 x}")})
        static_cast<void>(ReadRichText(data));
}

class LogWriterTest : public test::SimPlatformTest
{
protected:
    QStringList Written() const
    {
        QFile file(Folder->filePath("pulopro.log"));
        return file.open(QIODevice::ReadOnly) ? ReadRichText(file.readAll()) : QStringList{"<missing>"};
    }

    // One connection from start for the given seconds, through the writer.
    void
    Connect(TLogWriter& writer, TDateTime start, int seconds, double sent = 0, double received = 0, bool logging = true)
    {
        const TDateTime end = start + seconds / 86400.0;
        const DateParts date = DecodeDate(end);
        const QDateTime clock = ToQDateTime(end);
        Sim->SetNow(date.Year, date.Month, date.Day, clock.time().hour(), clock.time().minute(), clock.time().second());
        TLogContext context{Totals, Current, Past, logging, start, std::floor(start), QStringLiteral("ISP"),
                            sent,   received};
        writer.UpdateLog(context);
    }

    TMonthTotals Totals{0, 0, 0, 0, 5};
    DateParts Current{2027, 5, 1};
    ClockParts Past;
};

TEST_F(LogWriterTest, EachConnectionAddsItsLineAndTheMonthsBlock)
{
    CurrentFormat().ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    CurrentFormat().LongTimeFormat = QStringLiteral("HH:mm:ss");
    TLogWriter writer;
    Connect(writer, At(2027, 5, 10, 10, 0, 0), 600, 123456, 2345678);
    Connect(writer, At(2027, 5, 11, 10, 0, 0), 60, 0, 0, false); // logging off: nothing
    Connect(writer, At(2027, 5, 31, 23, 50, 0), 1800, 1000, 1000);
    QStringList log = Written();
    ASSERT_EQ(log.size(), 9);
    EXPECT_TRUE(log[0].startsWith("10/05/2027 \u2022 10:00:00 \u2014> 10:10:00 \u2022 00:10:00 \u2022  123.456"));
    EXPECT_TRUE(log[1].startsWith("31/05/2027 \u2022 23:50:00 \u2014> 00:20:00 \u2022 00:30:00")) << "counts in May";
    EXPECT_EQ(log[4], " Connections       : 2");
    EXPECT_EQ(log[5], " Time online       : 000:40:00");

    Totals.StoredMonth = Current.Month; // as the settings file stores it
    Connect(writer, At(2027, 6, 2, 8, 0, 0), 25 * 3600 + 180, 5000, 0);
    log = Written();
    ASSERT_EQ(log.size(), 17) << "May's block stays, June's follows";
    EXPECT_EQ(log[4], " Connections       : 2");
    EXPECT_TRUE(log[9].contains(" \u2022 25:03:00 \u2022 "));
    EXPECT_EQ(log[12], " Connections       : 1");
    EXPECT_EQ(log[13], " Time online       : 025:03:00");
    EXPECT_EQ(Totals.TotTime, 90180);
}

TEST_F(LogWriterTest, ALogThatCannotBeReadWholeIsNeverRewritten)
{
    TLogWriter writer;
    Connect(writer, At(2027, 5, 10, 10, 0, 0), 600);
    const QString path = Folder->filePath("pulopro.log");
    const qint64 size = QFileInfo(path).size();
    const QStringList before = Written();
    // Far larger than a log can be (sparse, so cheap): it is not read, and not replaced.
    ASSERT_TRUE(QFile::resize(path, 80LL << 20));
    try {
        Connect(writer, At(2027, 5, 11, 10, 0, 0), 60);
        FAIL() << "the failure must be reported";
    } catch (const PuloError& error) {
        EXPECT_EQ(error.Message(), QStringLiteral("Failed to Load Stream"));
    }
    EXPECT_EQ(Totals.TotCon, 2) << "the connection still counts";
    EXPECT_EQ(writer.Pending().size(), 1);
    EXPECT_EQ(QFileInfo(path).size(), 80LL << 20);

    ASSERT_TRUE(QFile::resize(path, size));
    EXPECT_EQ(Written(), before);
    Connect(writer, At(2027, 5, 12, 10, 0, 0), 60);
    const QStringList after = Written();
    ASSERT_EQ(after.size(), 10) << "three lines and the block";
    EXPECT_EQ(after[5], " Connections       : 3");
    EXPECT_TRUE(writer.Pending().isEmpty());
}

TEST_F(LogWriterTest, PathsThatAreNoRegularFileAreRefusedAtOnce)
{
    const struct
    {
        const char* Name;
        std::function<bool(const QString& path)> Make;
    } kinds[] = {
        {"a FIFO", [](const QString& path) { return mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }},
        {"a link to /dev/zero", [](const QString& path) { return QFile::link(QStringLiteral("/dev/zero"), path); }},
        {"a folder", [](const QString& path) { return QDir().mkdir(path); }},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.Name);
        for (const char* file : {"pulopro.log", "pulopro.ini"}) {
            SCOPED_TRACE(file);
            const QString path = Folder->filePath(QString::fromLatin1(file));
            ASSERT_TRUE(kind.Make(path));
            if (QByteArray(file) == "pulopro.log") {
                TLogWriter writer;
                EXPECT_THROW(Connect(writer, At(2027, 5, 10, 10, 0, 0), 600), PuloError);
                EXPECT_EQ(writer.Pending().size(), 1) << "the line waits";
            } else {
                TIniFile ini(path);
                EXPECT_EQ(ini.ReadInteger("Stats", "TotCon", 7), 7);
                EXPECT_THROW(ini.WriteInteger("Stats", "TotCon", 8), PuloError);
            }
            QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
        }
    }
}

TEST_F(LogWriterTest, WhatEndsTheLogIsReplacedOnlyWhenItIsATotalsBlock)
{
    TLogWriter writer;
    Connect(writer, At(2027, 5, 10, 10, 0, 0), 600);
    Totals.StoredMonth = 5;
    QStringList notes = Written();
    notes << "my own notes"
          << "a"
          << "b"
          << "c"
          << "d"
          << "e"
          << "f";
    SaveLog(notes);
    Connect(writer, At(2027, 5, 11, 10, 0, 0), 600);
    const QStringList after = Written();
    ASSERT_EQ(after.size(), notes.size() + 1 + MonthBlockLines);
    EXPECT_EQ(after.mid(0, notes.size()), notes) << "the notes and the old block stay";
    EXPECT_TRUE(EndsWithMonthTotalsBlock(after));
}

TEST_F(LogWriterTest, ALogThatCouldNotBeReadBackIsNeverWritten)
{
    TLogWriter writer;
    Connect(writer, At(2027, 5, 10, 10, 0, 0), 600);
    const QStringList before = Written();
    // Each of these characters takes six bytes in the file: well past 64 MiB in all.
    const QStringList huge(120000, QString(100, QChar(0x0159)));
    EXPECT_THROW(SaveLog(huge), PuloError);
    EXPECT_EQ(Written(), before);
}

TEST_F(LogWriterTest, AnInterruptedConnectionEndIsFinishedAtTheNextStart)
{
    // Ways a connection end can stop half way: before the log, after the log, with a log that
    // refuses it, with the settings file refusing too. The side file finishes it once; the two
    // files then agree, and nothing waiting is dropped.
    const struct
    {
        const char* Name;
        bool LogWritten;
        bool LogWritable;
        bool SettingsWritable;
        QString Line;
    } cases[] = {
        {"killed before the log was written", false, true, true, "10/05/2027 \u2022 a connection"},
        {"killed between the log and the settings", true, true, true, "10/05/2027 \u2022 a connection"},
        {"a name with a line break, logged", true, true, true, "10/05/2027 \u2022 My\nPhone \\n"},
        {"a name with a line break, not logged", false, true, true, "10/05/2027 \u2022 My\r\nPhone"},
        {"a log that still cannot be written", false, false, true, "10/05/2027 \u2022 a connection"},
        {"neither file can be written", false, false, false, "10/05/2027 \u2022 a connection"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(Folder->filePath("pulopro.log"));
        QFile::remove(IniPath());
        TLogJournal journal;
        journal.Lines = {c.Line};
        journal.Block = MonthTotalsBlock(4, "1", "0", "0", 10, 20);
        journal.ReplaceBlock = true;
        journal.Totals = {4, 3600, 20, 10, 5};
        ASSERT_TRUE(SaveLogJournal(journal));
        const QStringList older = QStringList{"an older line"} + MonthTotalsBlock(3, "0", "50", "0", 5, 10);
        SaveLog(c.LogWritten ? WithJournal(older, journal) : older);
        const QStringList logged = Written();
        if (!c.LogWritable) {
            // A folder in the log's place: nothing can make it a log.
            QFile::remove(Folder->filePath("pulopro.log"));
            ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.log")));
        }
        if (!c.SettingsWritable) {
            ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.ini")));
        }

        const TInterruptedEnd finished = FinishInterruptedConnectionEnd();
        EXPECT_EQ(finished.Waiting, c.LogWritable ? QStringList{} : journal.Lines);
        EXPECT_EQ(finished.Problems.isEmpty(), c.SettingsWritable) << finished.Problems.join(' ').toStdString();
        EXPECT_EQ(QFile::exists(LogJournalPath()), !c.LogWritable || !c.SettingsWritable);
        if (!c.SettingsWritable) {
            QDir(Folder->filePath("pulopro.ini")).removeRecursively();
            QDir(Folder->filePath("pulopro.log")).removeRecursively();
            continue;
        }
        EXPECT_EQ(Written(),
                  c.LogWritable ? (c.LogWritten ? logged : WithJournal(older, journal)) : QStringList{"<missing>"});
        TMonthTotals stored;
        ReadMonthTotals(stored);
        EXPECT_EQ(stored.TotCon, 4);
        EXPECT_EQ(stored.StoredMonth, 5);
        const QStringList once = Written();
        EXPECT_TRUE(FinishInterruptedConnectionEnd().Waiting.isEmpty() || !c.LogWritable)
            << "finishing twice is harmless";
        EXPECT_EQ(Written(), once) << "the line is written once";
        if (!c.LogWritable)
            QDir(Folder->filePath("pulopro.log")).removeRecursively();
    }

    // A side file that does not read is kept aside and said, never silently deleted.
    QFile torn(LogJournalPath());
    ASSERT_TRUE(torn.open(QIODevice::WriteOnly));
    torn.write("PuloPro connection end 2\nMonth=5\nTotCon=");
    torn.close();
    const TInterruptedEnd finished = FinishInterruptedConnectionEnd();
    ASSERT_EQ(finished.Problems.size(), 1);
    EXPECT_TRUE(finished.Problems[0].contains(QStringLiteral("could not be read")))
        << finished.Problems[0].toStdString();
    EXPECT_FALSE(QFile::exists(LogJournalPath()));
    EXPECT_TRUE(QFile::exists(LogJournalPath() + QStringLiteral(".unreadable")));
}

TEST_F(LogWriterTest, RewritingTheEndAloneGivesWhatRewritingTheWholeLogGives)
{
    const QStringList block = MonthTotalsBlock(2, "0", "20", "0", 1.5, 2.5);
    QStringList longLog;
    for (int i = 0; i < 3000; ++i)
        longLog << QStringLiteral("%1 \u2022 line with {braces}, \\ and \u0416").arg(i);
    longLog << block;
    const struct
    {
        const char* Name;
        QStringList Log;
        bool SameMonth;
    } cases[] = {
        {"an empty log", {}, false},
        {"the same month's block alone", block, true},
        {"a line and the same month's block", QStringList{"first"} + block, true},
        {"last month's block stays", QStringList{"first"} + block, false},
        {"notes after the block stay", QStringList{"first"} + block + QStringList{"note"}, true},
        {"fewer than seven lines", {"a", "b"}, true},
        {"a long log", longLog, true},
    };
    TLogJournal journal;
    journal.Lines = {"10/05/2027 \u2022 new \u2014> line \u20ac"};
    journal.Block = MonthTotalsBlock(3, "0", "30", "0", 2, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        journal.ReplaceBlock = c.SameMonth;
        SaveLog(c.Log);
        ASSERT_TRUE(AppendToOwnLog(journal));
        QFile file(Folder->filePath("pulopro.log"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), WriteRichText(WithJournal(c.Log, journal)));
    }
    // Logs of other making are left to the whole rewrite.
    for (const QByteArray& other : {QByteArray("first line\nsecond line\n"), QByteArray("{\\rtf1 first\\par }")}) {
        QFile file(Folder->filePath("pulopro.log"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(other);
        file.close();
        EXPECT_FALSE(AppendToOwnLog(journal));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), other);
    }
}

TEST_F(LogWriterTest, AfterAnyNumberOfKillsTheLogAndTheTotalsAgree)
{
    // A program killed at any moment of its connection ends, forty times over, each restart
    // finishing what the kill interrupted.
    std::mt19937 random(20261208);
    for (int round = 0; round < 40; ++round) {
        QProcess child;
        child.start(QStringLiteral(CONNECTION_ENDS), {Folder->path()});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(child.waitForReadyRead(10000)) << "round " << round;
        QThread::usleep(std::uniform_int_distribution<unsigned>(0, 20000)(random));
        child.kill();
        child.waitForFinished();
    }
    ASSERT_TRUE(FinishInterruptedConnectionEnd().Waiting.isEmpty());
    TMonthTotals stored;
    ReadMonthTotals(stored);
    const QStringList log = Written();
    ASSERT_GE(stored.TotCon, 40);
    ASSERT_TRUE(EndsWithMonthTotalsBlock(log));
    EXPECT_EQ(log.size(), stored.TotCon + MonthBlockLines) << "one line per counted connection";
    EXPECT_EQ(log[log.size() - 5], QStringLiteral(" Connections       : %1").arg(stored.TotCon));
    EXPECT_EQ(stored.TotTime, stored.TotCon * 60.0);
}

} // namespace
} // namespace pulo
