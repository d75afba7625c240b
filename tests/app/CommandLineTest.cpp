// The command line end to end: the program itself, run without a display in a folder of its
// own, on a history made by the store's own functions.

#include "tests/support/ProgramCopy.h"
#include "usage/HistoryStore.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <unistd.h>

namespace pulo {
namespace {

class CommandLineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Folder.isValid());
        Program = test::CopyProgram(Folder);
        ASSERT_TRUE(QFile::exists(Program));
    }

    struct TRun
    {
        int Status = -1;
        QByteArray Out;
        QByteArray Err;
    };
    // Runs the program (or another copied beside it) without a display.
    TRun Run(const QStringList& arguments, const QString& program = {}) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // As cron, su or ssh run it: without the desktop's runtime folder.
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        process.setProcessEnvironment(environment);
        process.start(program.isEmpty() ? Program : program, arguments);
        process.waitForFinished(20000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    // Starts the program's window (offscreen) and waits until it has opened its history. It runs
    // with a runtime folder of its own, as a desktop session gives it.
    static void StartWindow(QProcess& process, const QString& program, const QString& history)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QFileInfo(history).path());
        process.setProcessEnvironment(environment);
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(history); }, 20000));
    }

    void MakeHistory() const
    {
        THistoryStore store(Folder.filePath(QStringLiteral("pulopro.sqlite")));
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        const QDate today = QDate::currentDate();
        for (const auto& [day, entry] : {std::pair{today, "My ISP"}, {today.addYears(-1), "Old, \"quoted\" ISP"}}) {
            const QDateTime start(day, QTime(0, 30));
            const std::int64_t id = store.BeginConnection(start, QString::fromUtf8(entry), QStringLiteral("ppp0"),
                                                          QStringLiteral("Standard 56000 bps Modem"));
            ASSERT_TRUE(store.UpdateConnection(id, start.addSecs(600), 1'000'000, 3'000'000, true));
        }
    }

    QTemporaryDir Folder;
    QString Program;
};

TEST_F(CommandLineTest, StatusAndExportAnswerWithoutADisplay)
{
    MakeHistory();
    QFile ini(Folder.filePath(QStringLiteral("pulopro.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    // The month totals the window counts from, as its connection ends left them.
    ini.write(QStringLiteral("[General]\nMaximumMB=1\nMaxMBAlarm=10\n[Stats]\nMonth=%1\nTotCon=1\nTotRCV=3000\n"
                             "TotTMT=1000\nTotTime=600\n")
                  .arg(QDate::currentDate().month())
                  .toLatin1());
    ini.close();

    const TRun status = Run({QStringLiteral("--status")});
    EXPECT_EQ(status.Status, 0) << status.Err.toStdString();
    EXPECT_TRUE(status.Out.contains("3.00 MB received and 1.00 MB sent")) << status.Out.toStdString();
    EXPECT_TRUE(status.Out.contains("3.00 MB of 10.0 MB counted (30 %)")) << status.Out.toStdString();
    EXPECT_EQ(status.Out.count('\n'), 1) << "one line";

    const TRun json = Run({QStringLiteral("--json")});
    ASSERT_EQ(json.Status, 0);
    const QJsonObject object = QJsonDocument::fromJson(json.Out).object();
    EXPECT_EQ(object[QStringLiteral("receivedBytes")].toInteger(), 3'000'000);
    EXPECT_EQ(object[QStringLiteral("limitBytes")].toInteger(), 10'000'000);
    EXPECT_DOUBLE_EQ(object[QStringLiteral("limitUsedPercent")].toDouble(), 30.0);
    EXPECT_TRUE(object[QStringLiteral("withinLimit")].toBool()) << "30 % used";
    EXPECT_TRUE(object[QStringLiteral("forecastWithinLimit")].isBool());
    EXPECT_EQ(object[QStringLiteral("periodStart")].toString(),
              QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1).toString(Qt::ISODate));

    const TRun all = Run({QStringLiteral("--export"), QStringLiteral("json")});
    ASSERT_EQ(all.Status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(all.Out).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()[QStringLiteral("entry")].toString(), QStringLiteral("Old, \"quoted\" ISP"));

    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const TRun csv = Run({QStringLiteral("--export"), QStringLiteral("csv"), QStringLiteral("--from"), today,
                          QStringLiteral("--to"), today});
    ASSERT_EQ(csv.Status, 0);
    EXPECT_EQ(csv.Out.count("\r\n"), 2) << "the header and today's connection";
    EXPECT_TRUE(csv.Out.contains(",600,1000000,3000000,My ISP,ppp0,Standard 56000 bps Modem\r\n"))
        << csv.Out.toStdString();
}

TEST_F(CommandLineTest, WhileACopyRunsTheStatusIsItsLiveOne)
{
    QFile ini(Folder.filePath(QStringLiteral("pulopro.ini")));
    const auto writeTotals = [&](int receivedKB) {
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QStringLiteral("[Stats]\nMonth=%1\nTotCon=1\nTotRCV=%2\n")
                      .arg(QDate::currentDate().month())
                      .arg(receivedKB)
                      .toLatin1());
        ini.close();
    };
    writeTotals(2000);
    QProcess copy;
    StartWindow(copy, Program, Folder.filePath(QStringLiteral("pulopro.sqlite")));
    // Another program changes the file: the running copy's figures are what the window shows.
    writeTotals(7000);
    const TRun live = Run({QStringLiteral("--json")});
    // The provider's figure goes to the running copy, which keeps it in its history.
    const TRun told = Run({QStringLiteral("--set-used"), QStringLiteral("5MB")});
    EXPECT_TRUE(told.Out.contains("5.00 MB counted by your provider's figure (PuloPro counted 2.00 MB)"))
        << told.Out.toStdString();
    const TRun corrected = Run({QStringLiteral("--json")});
    copy.terminate(); // as a logout ends it: what waits is written
    copy.waitForFinished();
    EXPECT_EQ(QJsonDocument::fromJson(live.Out).object()[QStringLiteral("receivedBytes")].toInteger(), 2'000'000)
        << live.Out.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(corrected.Out).object()[QStringLiteral("correctionBytes")].toInteger(), 3'000'000)
        << corrected.Out.toStdString();
    THistoryStore kept(Folder.filePath(QStringLiteral("pulopro.sqlite")));
    ASSERT_TRUE(kept.Open(THistoryStore::TAccess::ReadOnly));
    const QDate first(QDate::currentDate().year(), QDate::currentDate().month(), 1);
    ASSERT_EQ(kept.Adjustments(first).size(), 1U);
    EXPECT_EQ(kept.Adjustments(first)[0].Provider, 5'000'000);
    writeTotals(7000); // the copy wrote its own totals at its end
    const TRun files = Run({QStringLiteral("--json")});
    EXPECT_EQ(QJsonDocument::fromJson(files.Out).object()[QStringLiteral("receivedBytes")].toInteger(), 7'000'000)
        << "without a copy, the files";
}

TEST_F(CommandLineTest, TheDemoAnswersOnItsOwnFilesWithoutADisplay)
{
    const QString demo = Folder.filePath(QStringLiteral("pulopro-demo"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PULOPRO_DEMO_EXECUTABLE), demo));
    QFile ini(Folder.filePath(QStringLiteral("pulopro-demo.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(
        QStringLiteral("[Stats]\nMonth=%1\nTotCon=1\nTotRCV=4000\n").arg(QDate::currentDate().month()).toLatin1());
    ini.close();
    const struct
    {
        QStringList Arguments;
        const char* Says;
    } cases[] = {
        {{QStringLiteral("--help")}, "--status"},
        {{QStringLiteral("--version")}, "pulopro-demo "},
        {{QStringLiteral("--status")}, "4.00 MB received"},
        {{QStringLiteral("--json")}, "\"receivedBytes\":4000000"},
        {{QStringLiteral("--export"), QStringLiteral("csv")},
         "start,end,seconds,sent,received,entry,interface,device\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Arguments.join(' ').toStdString());
        const TRun run = Run(c.Arguments, demo);
        EXPECT_EQ(run.Status, 0) << "it answers and ends, starting no window: " << run.Err.toStdString();
        EXPECT_TRUE(run.Out.contains(c.Says)) << run.Out.toStdString();
    }
    EXPECT_FALSE(QFile::exists(Folder.filePath(QStringLiteral("pulopro.ini"))))
        << "the demo's files, not the program's";
}

TEST_F(CommandLineTest, TheDemosMadeUpPastAgreesEverywhere)
{
    const QString demo = Folder.filePath(QStringLiteral("pulopro-demo"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(PULOPRO_DEMO_EXECUTABLE), demo));
    // The provider's figure given before the demo ever ran makes the history, not the past.
    ASSERT_EQ(Run({QStringLiteral("--set-used"), QStringLiteral("1GB")}, demo).Status, 0);
    QProcess first;
    const QString history = Folder.filePath(QStringLiteral("pulopro-demo.sqlite"));
    StartWindow(first, demo, history);
    // The history was there before: the window has taken the past in once it holds connections.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            THistoryStore reading(history);
            return reading.Open(THistoryStore::TAccess::ReadOnly) &&
                   !reading.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::currentDateTime()).empty();
        },
        20000));
    // What the running demo says, and what its files say once it has ended.
    QProcess ask;
    ask.start(demo, {QStringLiteral("--json")});
    ASSERT_TRUE(ask.waitForFinished(20000));
    const QJsonObject live = QJsonDocument::fromJson(ask.readAllStandardOutput()).object();
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));

    const QSettings ini(Folder.filePath(QStringLiteral("pulopro-demo.ini")), QSettings::IniFormat);
    const std::int64_t received = std::llround(ini.value("Stats/TotRCV").toDouble() * 1000);
    EXPECT_GT(received, 0) << "a past to look at";
    EXPECT_EQ(live[QStringLiteral("receivedBytes")].toInteger(), received);
    THistoryStore store(history);
    ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadOnly));
    const QDate today = QDate::currentDate();
    std::int64_t recorded = 0;
    int connections = 0;
    for (const TUsageConnection& connection :
         store.Connections(QDate(today.year(), today.month(), 1).startOfDay(), QDateTime::currentDateTime())) {
        recorded += connection.Received;
        ++connections;
    }
    EXPECT_EQ(recorded, received) << "the history's month is the settings file's";
    EXPECT_EQ(connections, ini.value("Stats/TotCon").toInt());
    EXPECT_GT(
        store.Connections(QDate(today.year(), 1, 1).addYears(-1).startOfDay(), QDateTime::currentDateTime()).size(),
        50U)
        << "months of made-up past";
    EXPECT_TRUE(store.Connections(QDateTime::currentDateTime(), QDateTime::currentDateTime().addYears(1)).empty())
        << "nothing made up in the future";
}

TEST_F(CommandLineTest, StatusBarsCronAndTheHistoryByDayAndByPeriod)
{
    MakeHistory(); // 3 MB received today, 00:30
    {
        // A connection still in progress (its copy was killed, or runs): counted at its end, by
        // every answer alike.
        THistoryStore store(Folder.filePath(QStringLiteral("pulopro.sqlite")));
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        const QDateTime start(QDate::currentDate(), QTime(0, 45));
        const std::int64_t id = store.BeginConnection(start, QStringLiteral("My ISP"), QStringLiteral("ppp0"));
        ASSERT_TRUE(store.UpdateConnection(id, start.addSecs(60), 5'000'000, 7'000'000, false));
    }
    const struct
    {
        int ReceivedKB; // this period's month totals, of a 10 MB limit warned at 50 %
        int Check;
        const char* Class;
        int Percentage;
        const char* Text;
    } cases[] = {
        {3000, 0, "ok", 30, "3.00 MB / 10.0 MB"},
        {6000, 3, "warning", 60, "6.00 MB / 10.0 MB"},
        {11000, 4, "critical", 100, "11.0 MB / 10.0 MB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ReceivedKB);
        QFile ini(Folder.filePath(QStringLiteral("pulopro.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[General]\nMaximumMB=1\nMaxMBAlarm=10\nThresholds=50 100\n[Stats]\nMonth=%1\n"
                                 "TotCon=1\nTotRCV=%2\n")
                      .arg(QDate::currentDate().month())
                      .arg(c.ReceivedKB)
                      .toLatin1());
        ini.close();
        const TRun check = Run({QStringLiteral("--check")});
        EXPECT_EQ(check.Status, c.Check);
        EXPECT_TRUE(check.Out.isEmpty());
        const TRun waybar = Run({QStringLiteral("--waybar")});
        ASSERT_EQ(waybar.Status, 0);
        EXPECT_EQ(waybar.Out.count('\n'), 1) << "one object a line, as a status bar polls it";
        const QJsonObject module = QJsonDocument::fromJson(waybar.Out).object();
        EXPECT_EQ(module[QStringLiteral("class")].toString(), QLatin1String(c.Class));
        EXPECT_EQ(module[QStringLiteral("percentage")].toInt(), c.Percentage);
        EXPECT_EQ(module[QStringLiteral("text")].toString(), QLatin1String(c.Text));
        EXPECT_TRUE(module[QStringLiteral("tooltip")].toString().contains(QLatin1Char('\n')));
        const TRun oneline = Run({QStringLiteral("--oneline")});
        const QList<QByteArray> fields = oneline.Out.trimmed().split(';');
        ASSERT_EQ(fields.size(), 14) << oneline.Out.toStdString();
        EXPECT_EQ(fields[0], "1") << "the format's version";
        EXPECT_EQ(fields[8].toLongLong(), c.ReceivedKB * 1000LL) << "counted";
        EXPECT_EQ(fields[9], "10000000") << "the limit";
        EXPECT_EQ(fields[13].toLongLong(), std::min(3'000'000LL, c.ReceivedKB * 1000LL)) << "used today";
    }

    // The provider's figure, with no copy running: kept in the history, in every answer after it.
    // Over ten times the limit it is taken for a slip, set only when the user insists.
    const TRun slip = Run({QStringLiteral("--set-used"), QStringLiteral("3.2 gb")});
    EXPECT_EQ(slip.Status, 2);
    EXPECT_TRUE(slip.Err.contains("3.20 GB is over ten times your limit of 10.0 MB; give --force"))
        << slip.Err.toStdString();
    EXPECT_EQ(Run({QStringLiteral("--set-used"), QStringLiteral("3.2 gb"), QStringLiteral("--force")}).Status, 0);
    const QJsonObject corrected = QJsonDocument::fromJson(Run({QStringLiteral("--json")}).Out).object();
    EXPECT_EQ(corrected[QStringLiteral("countedBytes")].toInteger(), 3'200'000'000);
    EXPECT_EQ(corrected[QStringLiteral("correctionBytes")].toInteger(), 3'200'000'000 - 11'000'000);
    EXPECT_EQ(Run({QStringLiteral("--check")}).Status, 4) << "far past the 10 MB limit";
    for (const char* wrong : {"3.2", "GB", "-1MB", "3.2 parsecs", "1001TB", "9e6TB"})
        EXPECT_EQ(Run({QStringLiteral("--set-used"), QLatin1String(wrong)}).Status, 2) << wrong;

    const TRun days = Run({QStringLiteral("--days"), QStringLiteral("--json")});
    ASSERT_EQ(days.Status, 0) << days.Err.toStdString();
    const QJsonArray byDay = QJsonDocument::fromJson(days.Out).array();
    ASSERT_EQ(byDay.size(), QDate::currentDate().day()) << "the 1st to today, none to come";
    EXPECT_EQ(byDay.last().toObject()[QStringLiteral("receivedBytes")].toInteger(), 3'000'000);
    const TRun months = Run({QStringLiteral("--months")});
    ASSERT_EQ(months.Status, 0);
    const QList<QByteArray> lines = months.Out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 13) << "twelve periods (a year ago is a thirteenth: not shown), and the estimate";
    EXPECT_TRUE(lines[11].contains("3.00 MB received  1.00 MB sent  0:10:00")) << lines[11].toStdString();
    EXPECT_TRUE(lines[12].startsWith("This period: 3.20 GB counted so far, about ")) << lines[12].toStdString();
    EXPECT_TRUE(lines[12].endsWith(" (limit 0.010 GB)")) << lines[12].toStdString();
    for (int i = 0; i < 12; ++i) // in columns
        EXPECT_EQ(lines[i].indexOf(" received"), lines[0].indexOf(" received")) << lines[i].toStdString();
}

TEST_F(CommandLineTest, BadArgumentsAndNoHistory)
{
    const struct
    {
        QStringList Arguments;
        int Status;
    } cases[] = {
        {{QStringLiteral("--export"), QStringLiteral("xml")}, 2},
        {{QStringLiteral("--export"), QStringLiteral("csv"), QStringLiteral("--from"), QStringLiteral("2026-02-30")},
         2},
        {{QStringLiteral("--status"), QStringLiteral("--export"), QStringLiteral("csv")}, 2},
        {{QStringLiteral("--export"), QStringLiteral("csv"), QStringLiteral("--from"), QStringLiteral("2026-12-08"),
          QStringLiteral("--to"), QStringLiteral("2026-12-01")},
         2},
        {{QStringLiteral("--export"), QStringLiteral("csv"), QStringLiteral("--from"), QStringLiteral("-001-01-01")},
         2},
        {{QStringLiteral("--export"), QString(100000, QLatin1Char('x'))}, 2},
        {{QStringLiteral("--no-such-option")}, 2},
        {{QStringLiteral("--status")}, 0},
        {{QStringLiteral("--waybar"), QStringLiteral("--json")}, 2},
        {{QStringLiteral("--days"), QStringLiteral("--months")}, 2},
        {{QStringLiteral("--check")}, 0},
        {{QStringLiteral("--export"), QStringLiteral("csv")}, 0},
        {{QStringLiteral("--version")}, 0},
        {{QStringLiteral("--apps")}, 0},
        {{QStringLiteral("--apps"), QStringLiteral("--json")}, 0},
        {{QStringLiteral("--apps"), QStringLiteral("--day"), QStringLiteral("2026-12-32")}, 2},
        {{QStringLiteral("--day"), QStringLiteral("2026-12-01")}, 2},
        {{QStringLiteral("--apps"), QStringLiteral("--connection"), QStringLiteral("0")}, 2},
        {{QStringLiteral("--apps"), QStringLiteral("--connection"), QStringLiteral("1")}, 2},
        {{QStringLiteral("--apps"), QStringLiteral("--connection"), QStringLiteral("1"), QStringLiteral("--day"),
          QStringLiteral("2026-12-01")},
         2},
        {{QStringLiteral("--apps"), QStringLiteral("--status")}, 2},
        {{QStringLiteral("--apps"), QStringLiteral("--export"), QStringLiteral("json")}, 0},
        {{QStringLiteral("--apps"), QStringLiteral("--export"), QStringLiteral("csv"), QStringLiteral("--day"),
          QStringLiteral("2026-12-01")},
         2},
        {{QStringLiteral("--data-saver"), QStringLiteral("maybe")}, 2},
        {{QStringLiteral("--data-saver"), QStringLiteral("on"), QStringLiteral("--status")}, 2},
        {{QStringLiteral("--data-saver")}, 2},
        {{QStringLiteral("--add-pack"), QStringLiteral("lots")}, 2},
        {{QStringLiteral("--add-pack"), QStringLiteral("0GB")}, 2},
        {{QStringLiteral("--add-pack"), QStringLiteral("5GB"), QStringLiteral("--until"), QStringLiteral("2001-01-01")},
         2},
        {{QStringLiteral("--until"), QStringLiteral("2099-01-01")}, 2},
        {{QStringLiteral("--add-pack"), QStringLiteral("5GB"), QStringLiteral("--status")}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const TRun run = Run(c.Arguments);
        EXPECT_EQ(run.Status, c.Status);
        EXPECT_EQ(run.Err.isEmpty(), c.Status == 0) << run.Err.toStdString();
        EXPECT_LT(run.Err.size(), 200) << "one short line";
    }
    // Without a history, no day of it: only where the period stands.
    const TRun days = Run({QStringLiteral("--days")});
    EXPECT_EQ(days.Out.count('\n'), 1) << days.Out.toStdString();
    EXPECT_TRUE(days.Out.startsWith("This period: 0.00 MB counted so far")) << days.Out.toStdString();
    const QJsonObject status = QJsonDocument::fromJson(Run({QStringLiteral("--json")}).Out).object();
    EXPECT_TRUE(Run({QStringLiteral("--json")}).Out.startsWith("{\"version\":1,"));
    EXPECT_EQ(status[QStringLiteral("version")].toInt(), 1);
    EXPECT_FALSE(QFile::exists(Folder.filePath(QStringLiteral("pulopro.sqlite")))) << "reading made no history";
    EXPECT_EQ(Run({QStringLiteral("--export"), QStringLiteral("csv")}).Out,
              QByteArray("start,end,seconds,sent,received,entry,interface,device\r\n"));
    EXPECT_EQ(Run({QStringLiteral("--apps"), QStringLiteral("--json")}).Out.trimmed(), QByteArray("[\n]"));
    EXPECT_EQ(Run({QStringLiteral("--apps"), QStringLiteral("--export"), QStringLiteral("csv")}).Out,
              QByteArray("start,day,program,path,received,sent\r\n"));
    EXPECT_EQ(status[QStringLiteral("dataSaver")].toString(), QStringLiteral("off"));
    EXPECT_EQ(status[QStringLiteral("heldBack")].toArray().size(), 0);

    // With no copy running, a pack goes into the history: the whole allowance grows by it from now.
    {
        QFile ini(Folder.filePath(QStringLiteral("pulopro.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\nMaximumMB=1\nMaxMBAlarm=10000\n");
    }
    const QDate tomorrow = QDate::currentDate().addDays(1);
    const TRun added = Run({QStringLiteral("--add-pack"), QStringLiteral("5GB"), QStringLiteral("--until"),
                            tomorrow.toString(Qt::ISODate)});
    EXPECT_EQ(added.Status, 0) << added.Err.toStdString();
    EXPECT_TRUE(added.Out.contains("packs: 5.00 GB to ")) << added.Out.toStdString();
    EXPECT_EQ(Run({QStringLiteral("--add-pack"), QStringLiteral("500MB")}).Status, 0);
    const QJsonObject withPacks = QJsonDocument::fromJson(Run({QStringLiteral("--json")}).Out).object();
    EXPECT_EQ(withPacks[QStringLiteral("limitBytes")].toInteger(), 10'000'000'000LL + 5'000'000'000LL + 500'000'000LL);
    const QJsonArray packs = withPacks[QStringLiteral("packs")].toArray();
    ASSERT_EQ(packs.size(), 2);
    EXPECT_EQ(packs[0].toObject()[QStringLiteral("until")].toString(), tomorrow.toString(Qt::ISODate));
    EXPECT_EQ(packs[0].toObject()[QStringLiteral("leftBytes")].toInteger(), 5'000'000'000LL);
    EXPECT_EQ(packs[1].toObject()[QStringLiteral("bytes")].toInteger(), 500'000'000LL);
    QFile::remove(Folder.filePath(QStringLiteral("pulopro.ini")));

    // With no copy running, the data saver's mode goes to the settings file for the next start.
    const struct
    {
        const char* Mode;
        const char* Said;
        const char* Stored;
    } modes[] = {{"AUTO", "auto-off", "1"}, {"on", "on", "2"}, {"off", "off", "0"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.Mode);
        const TRun run = Run({QStringLiteral("--data-saver"), QString::fromLatin1(m.Mode)});
        EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Out, QByteArray("Data saver: ") + m.Said + '\n');
        EXPECT_EQ(QJsonDocument::fromJson(Run({QStringLiteral("--json")}).Out)
                      .object()[QStringLiteral("dataSaver")]
                      .toString()
                      .toStdString(),
                  m.Said);
        QFile ini(Folder.filePath(QStringLiteral("pulopro.ini")));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        EXPECT_TRUE(ini.readAll().contains(QByteArray("DataSaver=") + m.Stored));
    }
}

TEST_F(CommandLineTest, AnAnswerThatCannotBeWrittenIsAFailure)
{
    MakeHistory();
    for (const bool closed : {true, false}) {
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("--status")}, QStringList{QStringLiteral("--export"), QStringLiteral("json")},
              QStringList{QStringLiteral("--help")}}) {
            SCOPED_TRACE((closed ? "closed output: " : "full disk: ") + arguments.join(' ').toStdString());
            QProcess process;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("DISPLAY"));
            process.setProcessEnvironment(environment);
            if (closed)
                process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
            else
                process.setStandardOutputFile(QStringLiteral("/dev/full"));
            process.start(Program, arguments);
            ASSERT_TRUE(process.waitForFinished(20000));
            EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), 1);
            const QByteArray said = process.readAllStandardError();
            EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
            EXPECT_TRUE(said.startsWith("pulopro: cannot write to standard output")) << said.toStdString();
        }
    }
}

} // namespace
} // namespace pulo

namespace pulo {
namespace {

TEST_F(CommandLineTest, APlanOfDaysWithFreeNightsAndRolloverIsCountedByItsOwnRules)
{
    // 10 days from yesterday's 09:00 (a top-up): the period before it held one connection of 4 GB;
    // this one a connection of 600 MB, 200 MB of which came in the free night hours.
    const QDateTime topUp(QDate::currentDate().addDays(-1), QTime(9, 0));
    {
        THistoryStore store(Folder.filePath(QStringLiteral("pulopro.sqlite")));
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        const struct
        {
            QDateTime Start;
            std::int64_t Received;
            TFreeBytes Free;
        } connections[] = {{topUp.addDays(-5), 4'000'000'000, {}},
                           {topUp.addSecs(3600), 600'000'000, {0, 200'000'000}}};
        for (const auto& c : connections) {
            const std::int64_t id = store.BeginConnection(c.Start, QStringLiteral("Prepaid"), QStringLiteral("wwan0"));
            ASSERT_TRUE(store.UpdateConnection(id, c.Start.addSecs(1800), 0, c.Received, true, {}, nullptr, &c.Free));
        }
    }
    QFile ini(Folder.filePath(QStringLiteral("pulopro.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[General]\nMaximumMB=1\nMaxMBAlarm=10000\nPeriodKind=days\nPeriodDays=10\n"
                             "PeriodStart=%1\nFreeHours=00:00-06:00\nRolloverMB=3000\n")
                  .arg(topUp.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                  .toLatin1());
    ini.close();

    const TRun json = Run({QStringLiteral("--json")});
    ASSERT_EQ(json.Status, 0) << json.Err.toStdString();
    const QJsonObject status = QJsonDocument::fromJson(json.Out).object();
    EXPECT_EQ(status[QStringLiteral("periodKind")].toString(), QStringLiteral("days"));
    EXPECT_EQ(QDateTime::fromString(status[QStringLiteral("periodStartsAt")].toString(), Qt::ISODate), topUp);
    EXPECT_EQ(QDateTime::fromString(status[QStringLiteral("periodEndsAt")].toString(), Qt::ISODate), topUp.addDays(10));
    EXPECT_EQ(status[QStringLiteral("receivedBytes")].toInteger(), 600'000'000);
    EXPECT_EQ(status[QStringLiteral("freeBytes")].toInteger(), 200'000'000);
    EXPECT_EQ(status[QStringLiteral("countedBytes")].toInteger(), 400'000'000) << "free traffic is not counted";
    // 10 GB less the 4 GB used left 6 GB, of which at most 3 GB carries over and is used first.
    EXPECT_EQ(status[QStringLiteral("rolloverBytes")].toInteger(), 3'000'000'000);
    EXPECT_EQ(status[QStringLiteral("rolloverLeftBytes")].toInteger(), 2'600'000'000);
    EXPECT_EQ(status[QStringLiteral("limitBytes")].toInteger(), 13'000'000'000);

    const TRun line = Run({QStringLiteral("--status")});
    EXPECT_TRUE(line.Out.contains("200 MB free, not counted")) << line.Out.toStdString();
    const QLocale english(QLocale::English);
    EXPECT_TRUE(line.Out.contains(QStringLiteral("this period (%1 to %2)")
                                      .arg(english.toString(topUp, QStringLiteral("d MMMM HH:mm")),
                                           english.toString(topUp.addDays(10), QStringLiteral("d MMMM HH:mm")))
                                      .toUtf8()))
        << "a period that turns at an hour says so: " << line.Out.toStdString();
    EXPECT_TRUE(line.Out.contains("3.00 GB carried over from earlier periods, 2.60 GB of it left"))
        << line.Out.toStdString();
    // The periods as the plan runs them, by the days they start on.
    const QJsonArray periods =
        QJsonDocument::fromJson(Run({QStringLiteral("--months"), QStringLiteral("--json")}).Out).array();
    ASSERT_EQ(periods.size(), 2) << "none before the history began";
    EXPECT_EQ(periods[0].toObject()[QStringLiteral("first")].toString(),
              topUp.addDays(-10).date().toString(Qt::ISODate));
    EXPECT_EQ(periods[1].toObject()[QStringLiteral("first")].toString(), topUp.date().toString(Qt::ISODate));
    EXPECT_EQ(periods[1].toObject()[QStringLiteral("receivedBytes")].toInteger(), 600'000'000);
    EXPECT_EQ(periods[1].toObject()[QStringLiteral("freeBytes")].toInteger(), 200'000'000);
    const QJsonArray days =
        QJsonDocument::fromJson(Run({QStringLiteral("--days"), QStringLiteral("--json")}).Out).array();
    ASSERT_FALSE(days.isEmpty());
    EXPECT_EQ(days[0].toObject()[QStringLiteral("first")].toString(), topUp.date().toString(Qt::ISODate));
    EXPECT_EQ(days[0].toObject()[QStringLiteral("freeBytes")].toInteger(), 200'000'000)
        << "on the day the connection began: none of its minutes is in today's free hours";
}

} // namespace
} // namespace pulo
