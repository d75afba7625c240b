// Starting while a line is up, whatever state the history and the log are in; and what a killed
// program left behind.

#include "app/Unit1.h"
#include "common/ErrorBoundary.h"
#include "settings/LogLines.h"
#include "sources/KZIntDet.h"
#include "tests/app/Unit1TrayFixture.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"
#include "widgets/TimerHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <functional>
#include <sys/stat.h>

namespace pulo {
namespace {

class Unit1StartTest : public test::Unit1TrayTest
{
protected:
    [[nodiscard]] QString HistoryPath() const { return Folder->filePath(QStringLiteral("pulopro.sqlite")); }

    void WriteFile(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Folder->filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // A database as another program (or PuloPro itself) left it.
    void MakeDatabase(const std::function<void(QSqlQuery&)>& fill) const
    {
        {
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("made"));
            database.setDatabaseName(HistoryPath());
            ASSERT_TRUE(database.open());
            QSqlQuery query(database);
            fill(query);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("made"));
    }

    [[nodiscard]] std::vector<TUsageConnection> HistoryRows() const
    {
        THistoryStore reader(HistoryPath());
        EXPECT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly)) << reader.Problem().toStdString();
        return reader.Connections(QDateTime::fromSecsSinceEpoch(0), QDateTime::currentDateTime().addYears(5));
    }

    // The timer list's ticks, fired by hand: a message box would run them in its own loop.
    struct TickedByHand final : ITimerHost
    {
        bool SetTimer(unsigned) override { return true; }
        void KillTimer() override {}
    };
    std::vector<std::function<void()>> Ticks;
    TForm1Services HandTicked()
    {
        TForm1Services services = Services();
        services.Timers = [this](std::function<void()> onTick) {
            Ticks.push_back(std::move(onTick));
            return std::make_unique<TickedByHand>();
        };
        services.HistoryRetryMs = 5;
        return services;
    }
};

// As the log keeps it: its bullet and dash are the bytes of the 8-bit code page.
const QByteArray LogLine =
    "03.04.2024 \x95 10:00:00 \x97> 10:10:00 \x95 00:10:00 \x95      1.5 \x95       20 \x95 My ISP\n";

TEST_F(Unit1StartTest, AStartWhileOnlineNeverStopsForTheHistoryOrTheLogAndCountsTheConnection)
{
    struct Row
    {
        const char* Name;
        std::function<void()> Prepare;
        const char* Notice; // what the notice of the history says, if any
        int Imported;       // connections the history holds from the log
    };
    const Row rows[] = {
        {"a log written under another date format",
         [&] { WriteFile(QStringLiteral("pulopro.log"), LogLine + LogLine.left(LogLine.size() - 20) + "\n"); },
         "1 lines of the log could not be read", 1},
        {"a history of a newer PuloPro",
         [&] { MakeDatabase([](QSqlQuery& query) { ASSERT_TRUE(query.exec("PRAGMA user_version = 99")); }); },
         "written by a newer PuloPro", -1},
        {"a history that is a folder",
         [&] { ASSERT_TRUE(QDir(Folder->path()).mkdir(QStringLiteral("pulopro.sqlite"))); }, "not a regular file", -1},
        {"a history that is a pipe", [&] { ASSERT_EQ(mkfifo(HistoryPath().toLocal8Bit().constData(), 0600), 0); },
         "not a regular file", -1},
        {"a history that is a link to a device",
         [&] { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), HistoryPath())); }, "not a regular file", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        SetUp(); // a folder of its own for each start
        Log->Balloons.clear();
        Ticks.clear();
        WriteIni("[General]\nSounds=0\n");
        row.Prepare();
        const win::HRASCONN line = Sim->AddLine("My ISP", "10.64.0.2");
        Sim->SetLineRates(line, 0, 1000);
        QStringList boxes;
        SetErrorReporter([&](const QString& message) {
            boxes << message;
            for (const auto& tick : Ticks)
                tick();
        });
        {
            TForm1 form(HandTicked());
            form.KZInternetDetect1->Poll();
            for (int i = 0; i < 10; ++i) {
                Sim->Ticks += 1000;
                for (const auto& tick : Ticks)
                    tick();
            }
            EXPECT_EQ(form.Label1b->text(), QStringLiteral("      Connected"));
            (void)QTest::qWaitFor([&] { return !Log->Balloons.filter(QStringLiteral("Usage history / ")).isEmpty(); });
            Sim->DropLine(line);
            form.KZInternetDetect1->Poll();
            if (row.Imported >= 0) {
                ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
            }
        }
        SetErrorReporter(nullptr);
        EXPECT_TRUE(boxes.isEmpty()) << "no box holds the start up: " << boxes.join('\n').toStdString();
        const QStringList notices = Log->Balloons.filter(QStringLiteral("Usage history / "));
        ASSERT_EQ(notices.size(), 1) << Log->Balloons.join('\n').toStdString();
        EXPECT_TRUE(notices[0].contains(QLatin1String(row.Notice))) << notices[0].toStdString();
        const QSettings ini(IniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("Stats/TotCon").toString(), "1") << "the connection is counted";
        if (row.Imported >= 0) {
            const std::vector<TUsageConnection> history = HistoryRows();
            ASSERT_EQ(static_cast<int>(history.size()), row.Imported + 1);
            EXPECT_EQ(history[0].Start, QDateTime(QDate(2024, 4, 3), QTime(10, 0)));
        }
        TearDown();
    }
}

TEST_F(Unit1StartTest, TheLogIsTakenInOnceAndNeverAskedAboutAgain)
{
    WriteFile(QStringLiteral("pulopro.log"), "a note of the user's own\n");
    for (int start = 0; start < 2; ++start) {
        Log->Balloons.clear();
        TForm1 form(HandTicked());
        ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
        QCoreApplication::processEvents();
        EXPECT_EQ(Log->Balloons.size(), start == 0 ? 1 : 0) << Log->Balloons.join('\n').toStdString();
    }
}

TEST_F(Unit1StartTest, AfterAKillTheHistoryHoldsWhatTheLogAndTheMonthCount)
{
    // A killed program left three rows in progress: one whose end reached the log (the side file
    // of its end was finished at this start), one whose end never did, and one the log holds.
    WriteIni("[General]\nSounds=0\n[Stats]\nMonth=12\nTotCon=1\nTotTime=600\nTotRCV=20\nTotTMT=1.5\n");
    WriteFile(QStringLiteral("pulopro.log"), QByteArray(LogLine).replace("03.04.2024", "07/12/2026"));
    const QDateTime logged(QDate(2026, 12, 7), QTime(10, 0));
    const QDateTime unlogged(QDate(2026, 12, 7), QTime(12, 0));
    const QDateTime pending(QDate(2026, 12, 7), QTime(14, 0));
    {
        THistoryStore store(HistoryPath());
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        ASSERT_TRUE(store.AddImported({}));
        for (const QDateTime& start : {logged, unlogged, pending}) {
            const std::int64_t id = store.BeginConnection(start, QStringLiteral("My ISP"), QStringLiteral("ppp0"));
            ASSERT_TRUE(store.UpdateConnection(id, start.addSecs(300), 700, 9000, false));
        }
    }
    const QString pendingLine =
        ConnectionLine(EncodeDate(2026, 12, 7), EncodeDate(2026, 12, 7) + 14.0 / 24,
                       EncodeDate(2026, 12, 7) + (14.0 + 0.5) / 24, 0, 30, 0, 3, 40, QStringLiteral("My ISP"));
    QByteArray side = "PuloPro connection end 1\nMonth=12\nTotCon=2\nTotTime=2400\nTotRCV=60\nTotTMT=4.5\nReplace=0\n";
    side += "Line=" + pendingLine.toUtf8() + "\n";
    for (const QString& blockLine : MonthTotalsBlock(2, "0", "40", "0", 4.5, 60))
        side += "Block=" + blockLine.toUtf8() + "\n";
    WriteFile(QStringLiteral("pulopro.log.pending"), side);
    Sim->SetNow(2026, 12, 8, 9, 0, 0);
    {
        TForm1 form(HandTicked());
        ASSERT_TRUE(form.UsageRecorder()->Flush(5000));
    }
    const std::vector<TUsageConnection> rows = HistoryRows();
    const QSettings ini(IniPath(), QSettings::IniFormat);
    ASSERT_EQ(static_cast<int>(rows.size()), ini.value("Stats/TotCon").toInt()) << "one row a counted connection";
    ASSERT_EQ(rows.size(), 2U);
    std::int64_t received = 0;
    for (const TUsageConnection& row : rows) {
        EXPECT_FALSE(row.InProgress);
        received += row.Received;
    }
    EXPECT_EQ(rows[0].Start, logged);
    EXPECT_EQ(rows[0].Seconds, 600) << "the log's figures, not the last ones written";
    EXPECT_EQ(rows[1].Start, pending);
    EXPECT_EQ(rows[1].Seconds, 1800);
    EXPECT_EQ(received, std::llround(ini.value("Stats/TotRCV").toDouble() * 1000));
}

} // namespace
} // namespace pulo
