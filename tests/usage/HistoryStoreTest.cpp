#include "usage/HistoryStore.h"

#include "common/FormatSettings.h"
#include "settings/LogLines.h"
#include "usage/HistoryRecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace pulo {
namespace {

class HistoryStoreTest : public ::testing::Test
{
protected:
    [[nodiscard]] QString Path() const { return Folder.filePath(QStringLiteral("pulopro.sqlite")); }
    static QDateTime At(int day, int hour, int minute, int second = 0)
    {
        return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second), Qt::OffsetFromUTC, 3600);
    }
    QTemporaryDir Folder;
};

TEST_F(HistoryStoreTest, AConnectionIsWrittenAsItGoesAndItsHoursAddUp)
{
    THistoryStore store(Path());
    ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite)) << store.Problem().toStdString();
    EXPECT_TRUE(store.IsEmpty());
    // 23:50 to 00:10 across midnight, written at 23:55 (a flush) and at the end.
    const std::int64_t id = store.BeginConnection(At(7, 23, 50), QStringLiteral("My ISP"), QStringLiteral("ppp0"));
    ASSERT_NE(id, 0);
    ASSERT_TRUE(store.UpdateConnection(id, At(7, 23, 55), 1000, 300000, false));

    // Another copy reads it meanwhile (the command line): what a crash now would leave.
    THistoryStore reader(Path());
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    const std::optional<TUsageConnection> current = reader.Current();
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(current->Seconds, 300);
    EXPECT_EQ(current->Received, 300000);

    ASSERT_TRUE(store.UpdateConnection(id, At(8, 0, 10), 4000, 1200000, true));
    const std::vector<TUsageConnection> rows = reader.Connections(At(7, 0, 0), At(9, 0, 0));
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0].Seconds, 1200);
    EXPECT_EQ(rows[0].Sent, 4000);
    EXPECT_EQ(rows[0].Received, 1200000);
    EXPECT_EQ(rows[0].Entry, QStringLiteral("My ISP"));
    EXPECT_EQ(rows[0].Start, At(7, 23, 50));
    EXPECT_EQ(rows[0].Start.offsetFromUtc(), 3600) << "the local offset of the moment is kept";
    EXPECT_FALSE(rows[0].InProgress);
    EXPECT_FALSE(reader.Current().has_value());

    const std::vector<TUsageHour> hours = reader.Hours(At(7, 0, 0), At(9, 0, 0));
    ASSERT_EQ(hours.size(), 2U) << "the local hour before midnight and the one after";
    std::int64_t seconds = 0;
    std::int64_t received = 0;
    for (const TUsageHour& hour : hours) {
        seconds += hour.Seconds;
        received += hour.Received;
    }
    EXPECT_EQ(seconds, 1200);
    EXPECT_EQ(received, 1200000);
    EXPECT_EQ(hours[1].Seconds, 600) << "00:00 to 00:10";
    EXPECT_EQ(hours[1].Received, 600000) << "shared out in proportion to the time";
}

TEST_F(HistoryStoreTest, WhatCameAfterTheClockWasSetIsInTheHoursItTrulyCameIn)
{
    // Four seconds and 400 bytes by the clock as it was, then the clock is set and the next
    // write comes four seconds and 400 bytes later, with the start moved to now less the eight
    // seconds the connection has lasted (the end's clock is the one trusted).
    const struct
    {
        const char* Name;
        QDateTime Now; // the second write's moment, by the clock as it was set
    } cases[] = {
        {"set forward a month", At(7, 12, 0, 8).addDays(31)},
        {"set back an hour", At(7, 11, 0, 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(Path());
        THistoryStore store(Path());
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        const std::int64_t id = store.BeginConnection(At(7, 12, 0), QStringLiteral("My ISP"), QStringLiteral("ppp0"));
        ASSERT_TRUE(store.UpdateConnection(id, At(7, 12, 0, 4), 0, 400, false));
        ASSERT_TRUE(store.UpdateConnection(id, c.Now, 0, 800, true, c.Now.addSecs(-8)));

        // The whole connection lies in the eight seconds before now: its hours move with its
        // start, and none is left in the hours the clock skipped or went back over.
        const auto hours = store.Hours(At(1, 0, 0).addDays(-60), At(1, 0, 0).addDays(60));
        ASSERT_EQ(hours.size(), 1U);
        EXPECT_EQ(hours[0].Hour, QDateTime(c.Now.date(), QTime(c.Now.time().hour(), 0), Qt::OffsetFromUTC, 3600));
        EXPECT_EQ(hours[0].Seconds, 8);
        EXPECT_EQ(hours[0].Received, 800);
    }
}

TEST_F(HistoryStoreTest, AKilledProgramsConnectionKeepsItsProgramsAddingUpToWhatTheLogCounted)
{
    // The program was killed after writing 300 000 bytes received, 200 000 of them a browser's;
    // the log's line says the connection ended at 500 000 (or there is none).
    for (const bool logged : {true, false}) {
        SCOPED_TRACE(logged ? "the log has its line" : "the log has none");
        QFile::remove(Path());
        std::int64_t id = 0;
        {
            THistoryStore store(Path());
            ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
            id = store.BeginConnection(At(7, 10, 0), QStringLiteral("My ISP"), QStringLiteral("ppp0"));
            const std::vector<TProgramRow> programs = {{QDate(2026, 12, 7), QStringLiteral("browser"),
                                                        QStringLiteral("/usr/bin/browser"), false, 200000, 9000},
                                                       {QDate(2026, 12, 7), {}, {}, true, 100000, 1000}};
            ASSERT_TRUE(store.UpdateConnection(id, At(7, 10, 5), 10000, 300000, false, {}, &programs));
        }
        THistoryStore store(Path());
        ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
        TUsageConnection line;
        line.Start = At(7, 10, 0);
        line.End = At(7, 10, 9);
        line.Seconds = 540;
        line.Sent = 15000;
        line.Received = 500000;
        line.Entry = QStringLiteral("My ISP");
        ASSERT_TRUE(
            store.ReconcileAbandoned(logged ? std::vector<TUsageConnection>{line} : std::vector<TUsageConnection>{}));
        const std::vector<TProgramRow> rows = store.ProgramsOf(id);
        if (!logged) {
            EXPECT_TRUE(rows.empty()) << "a connection taken away takes its programs with it";
            continue;
        }
        ASSERT_EQ(rows.size(), 2U);
        EXPECT_EQ(rows[0].Received, 200000) << "the browser keeps what it was counted";
        EXPECT_TRUE(rows[1].Other);
        EXPECT_EQ(rows[1].Received, 300000) << "what the log counted besides is Other's";
        EXPECT_EQ(rows[1].Sent, 6000);
    }
}

TEST_F(HistoryStoreTest, ADamagedDatabaseIsSetAsideNeverEmptied)
{
    QFile damaged(Path());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    const QByteArray garbage = QByteArray("SQLite format 3") + QByteArray(4096, '\x5a');
    damaged.write(garbage);
    damaged.close();
    THistoryStore store(Path());
    ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
    EXPECT_TRUE(store.Problem().contains(QStringLiteral("damaged"))) << store.Problem().toStdString();
    const QStringList aside = QDir(Folder.path()).entryList({QStringLiteral("pulopro.sqlite.damaged-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(Folder.filePath(aside[0]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), garbage) << "kept as it was";
    EXPECT_NE(store.BeginConnection(At(7, 10, 0), QStringLiteral("x"), QString()), 0)
        << "a new one works: " << store.Problem().toStdString();
}

TEST_F(HistoryStoreTest, AnOldDatabaseIsMigratedAndKeepsItsRows)
{
    // Opened by the window (to write) or first by the command line (to read).
    for (const auto access : {THistoryStore::TAccess::ReadWrite, THistoryStore::TAccess::ReadOnly}) {
        SCOPED_TRACE(access == THistoryStore::TAccess::ReadWrite ? "to write" : "to read");
        QFile::remove(Path());
        {
            // A database of schema 1, as the first history of PuloPro wrote it.
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            old.setDatabaseName(Path());
            ASSERT_TRUE(old.open());
            QSqlQuery query(old);
            ASSERT_TRUE(query.exec(QStringLiteral(
                "CREATE TABLE connections(id INTEGER PRIMARY KEY, start_utc INTEGER NOT NULL, start_offset INTEGER NOT "
                "NULL, end_utc INTEGER NOT NULL, end_offset INTEGER NOT NULL, seconds INTEGER NOT NULL, sent INTEGER "
                "NOT NULL, received INTEGER NOT NULL, entry TEXT NOT NULL, interface TEXT NOT NULL)")));
            ASSERT_TRUE(query.exec(QStringLiteral("INSERT INTO connections VALUES(1, 1765000000, 3600, 1765000600, "
                                                  "3600, 600, 10, 20, 'Old ISP', 'Standard 56000 bps Modem')")));
            ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA user_version = 1")));
            old.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));
        THistoryStore store(Path());
        ASSERT_TRUE(store.Open(access)) << store.Problem().toStdString();
        const auto rows = store.Connections(QDateTime::fromSecsSinceEpoch(0), At(31, 0, 0));
        ASSERT_EQ(rows.size(), 1U) << store.Problem().toStdString();
        EXPECT_EQ(rows[0].Entry, QStringLiteral("Old ISP"));
        EXPECT_FALSE(rows[0].InProgress);
        EXPECT_EQ(rows[0].Device, QStringLiteral("Standard 56000 bps Modem"))
            << "what the interface column used to hold";
        EXPECT_TRUE(rows[0].Interface.isEmpty());
        EXPECT_EQ(store.ConnectionsWithoutHours(QDateTime::fromSecsSinceEpoch(0), At(31, 0, 0)).size(), 1U)
            << "read through the hours of schema 2";
        if (access == THistoryStore::TAccess::ReadWrite) {
            const std::int64_t id = store.BeginConnection(At(7, 10, 0), QStringLiteral("New ISP"), QString());
            EXPECT_TRUE(store.UpdateConnection(id, At(7, 10, 5), 1, 2, true))
                << "the hours of schema 2 are there: " << store.Problem().toStdString();
        }
    }
}

TEST_F(HistoryStoreTest, TwoOpenersOfANewHistoryBothGetIt)
{
    // The window's writer makes the history while its reader (or the command line) opens it: each
    // must find it whole, neither making its tables a second time.
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const QString path = Folder.filePath(QStringLiteral("race%1.sqlite").arg(round));
        QFile(path).open(QIODevice::WriteOnly); // the file exists, empty, as SQLite first makes it
        bool opened[2] = {false, false};
        QString problems[2];
        std::thread others([&] {
            THistoryStore store(path);
            opened[1] = store.Open(THistoryStore::TAccess::ReadWrite);
            problems[1] = store.Problem();
        });
        THistoryStore store(path);
        opened[0] = store.Open(THistoryStore::TAccess::ReadWrite);
        problems[0] = store.Problem();
        others.join();
        EXPECT_TRUE(opened[0]) << problems[0].toStdString();
        EXPECT_TRUE(opened[1]) << problems[1].toStdString();
    }
}

TEST_F(HistoryStoreTest, TheSameFigureGivenAtTheSameMomentIsStoredOnce)
{
    THistoryStore store(Path());
    ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
    const QDate period(2026, 12, 1);
    const struct
    {
        const char* Name;
        int Second;
        std::int64_t Provider;
        std::size_t Kept; // corrections kept after it
    } cases[] = {
        {"the first", 0, 3'200'000'000, 1},
        {"the same again (a copy that took the request late)", 0, 3'200'000'000, 1},
        {"another figure at the same moment", 0, 3'300'000'000, 2},
        {"the first figure a second later", 1, 3'200'000'000, 3},
    };
    std::int64_t firstId = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::int64_t id =
            store.AddAdjustment(TUsageAdjustment{0, At(8, 12, 0).addSecs(c.Second), period, 1'000'000, c.Provider});
        ASSERT_NE(id, 0) << store.Problem().toStdString();
        if (firstId == 0)
            firstId = id;
        EXPECT_EQ(store.Adjustments(period).size(), c.Kept);
    }
    EXPECT_EQ(store.AddAdjustment(TUsageAdjustment{0, At(8, 12, 0), period, 5, 3'200'000'000}), firstId);
}

TEST_F(HistoryStoreTest, WhatCannotBeOpenedSaysWhy)
{
    ASSERT_TRUE(QDir(Folder.path()).mkdir(QStringLiteral("pulopro.sqlite")));
    THistoryStore store(Path());
    EXPECT_FALSE(store.Open(THistoryStore::TAccess::ReadWrite));
    EXPECT_TRUE(store.Problem().startsWith(QStringLiteral("The usage history "))) << store.Problem().toStdString();
    EXPECT_EQ(store.BeginConnection(At(7, 10, 0), QStringLiteral("x"), QString()), 0);

    THistoryStore none(Folder.filePath(QStringLiteral("none.sqlite")));
    EXPECT_FALSE(none.Open(THistoryStore::TAccess::ReadOnly)) << "reading makes nothing";
    EXPECT_FALSE(QFile::exists(Folder.filePath(QStringLiteral("none.sqlite"))));
}

// The window's start goes first: the history waits to be opened until something needs it.
TEST_F(HistoryStoreTest, TheRecorderOpensTheHistoryWhenFirstNeeded)
{
    const struct
    {
        const char* Need;
        int OpenAfterMs;
        bool Begin; // a connection begins
        bool Flush; // somebody waits for the history
        int AtLeastMs;
    } cases[] = {{"nothing: it is opened when its moment comes", 300, false, false, 250},
                 {"a connection begins", 60'000, true, false, 0},
                 {"a flush", 60'000, false, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Need);
        QFile::remove(Path());
        QElapsedTimer clock;
        clock.start();
        THistoryRecorder recorder(
            Path(), [] { return QStringList(); }, 10, c.OpenAfterMs);
        if (c.Begin)
            (void)recorder.Begin(At(8, 12, 0), QStringLiteral("My ISP"), QStringLiteral("ppp0"), QString());
        if (c.Flush) {
            EXPECT_TRUE(recorder.Flush(5000));
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(Path()); }, 5000));
        EXPECT_GE(clock.elapsed(), c.AtLeastMs);
        EXPECT_TRUE(recorder.Flush(5000));
        THistoryStore reader(Path());
        ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
        EXPECT_EQ(reader.Current().has_value(), c.Begin);
    }
}

TEST_F(HistoryStoreTest, TheLogIsTakenInOnlyUpToTheProgramsStart)
{
    // The history could not be opened at start: by the time it is, the log holds the line of a
    // connection of this run as well, which the recorder writes itself.
    CurrentFormat() = FormatSettings{};
    const auto line = [](int hour, int minute, int minutes) {
        const TDateTime start = EncodeDate(2026, 12, 8) + EncodeTime(hour, minute, 0, 0);
        return ConnectionLine(std::floor(start), start, start + minutes / 1440.0, 0, minutes, 0, 1, 2,
                              QStringLiteral("My ISP"));
    };
    const QDateTime programStart(QDate(2026, 12, 8), QTime(12, 0));
    THistoryRecorder recorder(
        Path(),
        [&] {
            return QStringList{line(9, 0, 30), line(12, 5, 10)};
        },
        10, 60'000, programStart);
    const std::int64_t ours =
        recorder.Begin(programStart.addSecs(300), QStringLiteral("My ISP"), QStringLiteral("ppp0"), QString());
    recorder.Update(ours, programStart.addSecs(900), 1000, 2000, true);
    ASSERT_TRUE(recorder.Flush(5000));
    THistoryStore reader(Path());
    ASSERT_TRUE(reader.Open(THistoryStore::TAccess::ReadOnly));
    const auto rows = reader.Connections(programStart.addDays(-1), programStart.addDays(1));
    ASSERT_EQ(rows.size(), 2U) << "the earlier connection from the log, and this run's once";
    EXPECT_EQ(rows[0].Start, programStart.addSecs(-3 * 3600));
    EXPECT_EQ(rows[1].Interface, QStringLiteral("ppp0"));
    EXPECT_EQ(rows[1].Received, 2000);
}

} // namespace
} // namespace pulo
