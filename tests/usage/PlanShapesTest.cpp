// Plans as they are sold, each a trace of connections run through the plan keeper minute by minute
// as the window runs it (and written into a real history as the window writes it), then asked as
// every view asks it, and asked again of a keeper that knows only the history and the settings
// file (a restart, the command line).

#include "common/BillingPeriod.h"
#include "usage/HistoryStore.h"
#include "usage/PlanStatus.h"
#include "usage/Rollover.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace pulo {
namespace {

constexpr std::int64_t MB = 1'000'000;
constexpr std::int64_t GB = 1'000'000'000;

QDateTime At(int year, int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

struct TTraceConnection final
{
    QDateTime Start;
    QDateTime End;
    std::int64_t ReceivedPerHour = 0;
};

struct TTracePack final
{
    QDateTime At;
    std::int64_t Bytes = 0;
    QDate Until;
};

struct TShape final
{
    const char* Name;
    TPeriodRule Rule;
    std::optional<std::int64_t> Limit;
    TTariff Tariff;
    std::vector<TTraceConnection> Trace;
    std::vector<TTracePack> Packs;
    QDateTime Now;
    // What every view must show at Now.
    QDate PeriodFirst;
    std::int64_t Counted = 0;
    std::int64_t Free = 0;
    std::optional<std::int64_t> WholeLimit;
    std::optional<std::int64_t> DailyAllowance;
    std::optional<QDate> Forecast;
    std::optional<double> Cost;
    std::int64_t Rollover = 0;
};

TPeriodRule Days(int days, const QDateTime& start)
{
    return {TPeriodKind::Days, 1, days, start, {}};
}

TPeriodRule Once(const QDateTime& start, const QDateTime& end)
{
    return {TPeriodKind::Once, 1, 30, start, end};
}

TTariff FreeAt(const QString& hours, const QString& days)
{
    TTariff tariff;
    tariff.Free = FreeTimeOf(hours, days);
    return tariff;
}

class PlanShapeRun final
{
public:
    explicit PlanShapeRun(const TShape& shape) : Shape(shape), Store(Folder.filePath(QStringLiteral("h.sqlite")))
    {
        EXPECT_TRUE(Store.Open(THistoryStore::TAccess::ReadWrite)) << Store.Problem().toStdString();
        Prepare(Live);
    }

    // The month totals as the window keeps them: the connections that ended, counted in the
    // period (by the billing day) they began in.
    void Prepare(TPlanKeeper& keeper) const
    {
        keeper.SetPlan(Shape.Rule, false, Shape.Limit);
        keeper.SetTariff(Shape.Tariff);
    }

    void SetTotals(TPlanKeeper& keeper, const QDateTime& now) const
    {
        const TBillingPeriod month = PeriodOf(now.date(), Shape.Rule.BillingDay);
        TMonthTotals totals;
        totals.StoredMonth = month.First.month();
        for (const TTraceConnection& connection : Ended)
            if (BeganIn(connection.Start, month)) {
                ++totals.TotCon;
                totals.TotRCV += static_cast<double>(Bytes(connection, connection.End)) / 1000;
                totals.TotTime += static_cast<double>(connection.Start.secsTo(connection.End));
            }
        keeper.SetTotals(totals);
    }

    static std::int64_t Bytes(const TTraceConnection& connection, const QDateTime& at)
    {
        return connection.ReceivedPerHour * connection.Start.secsTo(at) / 3600;
    }

    // Time goes by to the moment, a minute at a time, as the window's tick asks the keeper; the
    // figures of a period never go down.
    void Tick(const QDateTime& now)
    {
        SetTotals(Live, now);
        Live.FollowFree(now);
        Live.FollowDay(now);
        Live.FollowPacks(now);
        if (Live.NeedsHistory(now))
            Live.ReadHistory(Store, now);
        const TPlanStatus status = Live.Status(now);
        if (Last && Last->Period.First == status.Period.First) {
            EXPECT_GE(status.Counted, Last->Counted) << now.toString(Qt::ISODate).toStdString();
            EXPECT_GE(status.Free, Last->Free) << now.toString(Qt::ISODate).toStdString();
            EXPECT_GE(status.Received, Last->Received) << now.toString(Qt::ISODate).toStdString();
        }
        // Counted and free are the line's bytes, every one, in any period and at any moment.
        EXPECT_EQ(status.Counted + status.Free, status.Received) << now.toString(Qt::ISODate).toStdString();
        Last = status;
    }

    void Run()
    {
        std::size_t pack = 0;
        const auto packsUpTo = [&](const QDateTime& now) {
            for (; pack < Shape.Packs.size() && Shape.Packs[pack].At <= now; ++pack) {
                const TPack added =
                    Live.AddPack(Shape.Packs[pack].At, Shape.Packs[pack].Bytes, Shape.Packs[pack].Until);
                Store.AddPack(added, Live.Status(added.AddedAt).Period.First);
            }
        };
        for (const TTraceConnection& connection : Shape.Trace) {
            packsUpTo(connection.Start);
            const std::int64_t id =
                Store.BeginConnection(connection.Start, QStringLiteral("Plan"), QStringLiteral("ppp0"));
            for (QDateTime now = connection.Start; now <= connection.End; now = now.addSecs(60)) {
                packsUpTo(now);
                Live.SetRunning(connection.Start, 0, Bytes(connection, now));
                Tick(now);
            }
            const TFreeBytes free{Live.RunningFreeSent(), Live.RunningFreeReceived()};
            EXPECT_TRUE(Store.UpdateConnection(id, connection.End, 0, Bytes(connection, connection.End), true, {},
                                               nullptr, &free));
            Ended.push_back(connection);
            Live.SetRunning(std::nullopt, 0, 0);
            Tick(connection.End);
        }
        packsUpTo(Shape.Now);
        Tick(Shape.Now);
    }

    void Expect(const TPlanStatus& status) const
    {
        EXPECT_EQ(status.Period.First, Shape.PeriodFirst);
        EXPECT_EQ(status.Counted, Shape.Counted);
        EXPECT_EQ(status.Free, Shape.Free);
        EXPECT_EQ(status.Limit, Shape.WholeLimit);
        EXPECT_EQ(status.Rollover, Shape.Rollover);
        if (Shape.DailyAllowance) {
            EXPECT_EQ(status.DailyAllowance, Shape.DailyAllowance);
        }
        if (Shape.Forecast) {
            EXPECT_EQ(status.Forecast, Shape.Forecast);
        }
        if (Shape.Cost) {
            ASSERT_TRUE(status.CostSoFar);
            EXPECT_NEAR(*status.CostSoFar, *Shape.Cost, 0.005);
        }
    }

    const TShape& Shape;
    QTemporaryDir Folder;
    THistoryStore Store;
    TPlanKeeper Live;
    std::vector<TTraceConnection> Ended;
    std::optional<TPlanStatus> Last;
};

TEST(PlanShapesTest, EveryShapeOfPlanCountsForecastsAndCostsByItsOwnRules)
{
    TTariff dialUp;
    dialUp.PricePerHour = 0.60; // 1 cent a minute
    TTariff capped;
    capped.DailyLimit = 1 * GB;
    TTariff rolling;
    rolling.RolloverMost = 2 * GB;
    rolling.RolloverPeriods = 1;
    TPeriodRule calendar;
    const std::vector<TShape> shapes{
        {"30 days from 20 Nov 09:00: the period turns at 09:00, a connection counts where it began",
         Days(30, At(2026, 11, 20, 9)),
         10 * GB,
         {},
         {{At(2026, 11, 21, 10), At(2026, 11, 21, 12), 500 * MB},
          {At(2026, 12, 20, 8), At(2026, 12, 20, 10), 100 * MB},
          {At(2026, 12, 20, 10), At(2026, 12, 20, 11), 300 * MB}},
         {},
         At(2026, 12, 20, 12),
         QDate(2026, 12, 20),
         300 * MB,
         0,
         10 * GB,
         std::nullopt,
         QDate(2026, 12, 24), // 300 MB in 3 hours: 10 GB in 100 hours
         std::nullopt,
         0},
        {"28 days across New Year",
         Days(28, At(2026, 12, 10, 0)),
         1 * GB,
         {},
         {{At(2026, 12, 31, 23), At(2027, 1, 1, 1), 100 * MB}, {At(2027, 1, 6, 12), At(2027, 1, 6, 13), 50 * MB}},
         {},
         At(2027, 1, 6, 18),
         QDate(2026, 12, 10),
         250 * MB,
         0,
         1 * GB,
         800 * MB, // the period's last day has what was left at its start
         std::nullopt,
         std::nullopt,
         0},
        {"nights free 00:00-06:00, a connection from 23:30 to 07:00",
         calendar,
         10 * GB,
         FreeAt(QStringLiteral("00:00-06:00"), {}),
         {{At(2026, 12, 9, 23, 30), At(2026, 12, 10, 7), 60 * MB}},
         {},
         At(2026, 12, 10, 12),
         QDate(2026, 12, 1),
         90 * MB,
         360 * MB,
         10 * GB,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         0},
        {"weekends free: Friday night into Saturday, and Monday",
         calendar,
         10 * GB,
         FreeAt({}, QStringLiteral("sat,sun")),
         {{At(2026, 12, 11, 23), At(2026, 12, 12, 1), 60 * MB}, {At(2026, 12, 14, 10), At(2026, 12, 14, 11), 60 * MB}},
         {},
         At(2026, 12, 14, 12),
         QDate(2026, 12, 1),
         120 * MB,
         60 * MB,
         10 * GB,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         0},
        {"a 1 GB daily cap passed at 15:00",
         calendar,
         30 * GB,
         capped,
         {{At(2026, 12, 10, 10), At(2026, 12, 10, 15), 200 * MB}},
         {},
         At(2026, 12, 10, 15, 30),
         QDate(2026, 12, 1),
         1 * GB,
         0,
         30 * GB,
         1 * GB, // the cap, not the 1.3 GB a day the month would allow
         std::nullopt,
         std::nullopt,
         0},
        {"a 5 GB pack added on day 10, to day 20, used before the plan's own",
         calendar,
         10 * GB,
         {},
         {{At(2026, 12, 5, 10), At(2026, 12, 5, 12), 1 * GB}, {At(2026, 12, 12, 10), At(2026, 12, 12, 13), 1 * GB}},
         {{At(2026, 12, 10, 12), 5 * GB, QDate(2026, 12, 20)}},
         At(2026, 12, 15, 12),
         QDate(2026, 12, 1),
         5 * GB,
         0,
         15 * GB,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         0},
        {"2 GB rolled over from November, used first",
         calendar,
         10 * GB,
         rolling,
         {{At(2026, 11, 5, 10), At(2026, 11, 5, 17), 1 * GB}, {At(2026, 12, 1, 10), At(2026, 12, 1, 11), 1 * GB}},
         {},
         At(2026, 12, 10, 12),
         QDate(2026, 12, 1),
         1 * GB,
         0,
         12 * GB,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         2 * GB},
        {"once, 1 December 10:00 to 5 December 10:00: what came after its end is not its",
         Once(At(2026, 12, 1, 10), At(2026, 12, 5, 10)),
         1 * GB,
         {},
         {{At(2026, 12, 2, 10), At(2026, 12, 2, 13), 100 * MB}, {At(2026, 12, 7, 10), At(2026, 12, 7, 11), 100 * MB}},
         {},
         At(2026, 12, 8, 12),
         QDate(2026, 12, 1),
         300 * MB,
         0,
         1 * GB,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         0},
        {"dial-up by the minute: 45 minutes",
         calendar,
         std::nullopt,
         dialUp,
         {{At(2026, 12, 10, 20), At(2026, 12, 10, 20, 45), 6 * MB}},
         {},
         At(2026, 12, 10, 21),
         QDate(2026, 12, 1),
         4'500'000,
         0,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         0.45,
         0},
    };
    for (const TShape& shape : shapes) {
        SCOPED_TRACE(shape.Name);
        PlanShapeRun run(shape);
        run.Run();
        run.Expect(run.Live.Status(shape.Now));
        // A keeper that knows only the files (a restart, the command line) says the same.
        TPlanKeeper files;
        run.Prepare(files);
        run.SetTotals(files, shape.Now);
        files.ReadHistory(run.Store, shape.Now);
        run.Expect(files.Status(shape.Now));
        EXPECT_EQ(files.Status(shape.Now).UsedToday, run.Live.Status(shape.Now).UsedToday)
            << "today's use, free left out";
    }
}

TEST(PlanShapesTest, TodaysUseLeavesOutTheFreeNightLiveAndFromTheFiles)
{
    // 23:30 to 07:00 at 1 MB a minute, nights free: of today's 420 MB only 06:00 to 07:00 counts.
    TShape night{};
    night.Name = "night";
    night.Limit = 10 * GB;
    night.Tariff = FreeAt(QStringLiteral("00:00-06:00"), {});
    night.Trace = {{At(2026, 12, 9, 23, 30), At(2026, 12, 10, 7), 60 * MB}};
    night.Now = At(2026, 12, 10, 12);
    PlanShapeRun run(night);
    run.Run();
    EXPECT_EQ(run.Live.Status(night.Now).UsedToday, 60 * MB);
    TPlanKeeper files;
    run.Prepare(files);
    run.SetTotals(files, night.Now);
    files.ReadHistory(run.Store, night.Now);
    EXPECT_EQ(files.Status(night.Now).UsedToday, 60 * MB);
}

TEST(PlanShapesTest, APeriodOfDaysKeepsItsHourAcrossChangesOfDaylightSavingTime)
{
    const QByteArray before = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    struct Case
    {
        const char* Name;
        QDateTime Start;
        QDateTime Asked;
        QDateTime NextStart;
        std::int64_t Seconds;
    };
    const Case cases[] = {
        {"a 25-hour day in October", At(2026, 10, 10, 9), At(2026, 10, 30, 12), At(2026, 11, 9, 9), 30 * 86400 + 3600},
        {"a 23-hour day in March", At(2026, 3, 10, 9), At(2026, 4, 1, 12), At(2026, 4, 9, 9), 30 * 86400 - 3600},
        {"asked a second before the next period", At(2026, 10, 10, 9), At(2026, 11, 9, 8, 59), At(2026, 11, 9, 9),
         30 * 86400 + 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPlanKeeper keeper;
        keeper.SetPlan(Days(30, c.Start), false, 10 * GB);
        const TPlanStatus status = keeper.Status(c.Asked);
        EXPECT_EQ(status.Period.From(), c.Start);
        EXPECT_EQ(status.Period.Until(), c.NextStart);
        EXPECT_EQ(status.PeriodSeconds, c.Seconds);
        EXPECT_EQ(status.Kind, TPeriodKind::Days);
        EXPECT_EQ(keeper.Status(c.NextStart).Period.From(), c.NextStart) << "the next period starts at the hour";
    }
    qputenv("TZ", before);
    if (before.isEmpty())
        qunsetenv("TZ");
    tzset();
}

TEST(PlanShapesTest, RolloverCarriesWhatWasLeftForAsLongAsThePlanSays)
{
    struct Case
    {
        const char* Name;
        std::vector<std::int64_t> Past; // counted, oldest first
        std::int64_t Most;
        int Periods;
        std::int64_t Into;
    };
    const Case cases[] = {
        {"what was left, up to the most", {7 * GB}, 2 * GB, 1, 2 * GB},
        {"less left than the most", {9 * GB}, 2 * GB, 1, 1 * GB},
        {"nothing left", {12 * GB}, 2 * GB, 1, 0},
        {"a tranche lives one period: used in part, the rest is gone", {7 * GB, 1 * GB}, 2 * GB, 1, 2 * GB},
        {"living two periods, tranches add up", {7 * GB, 1 * GB}, 2 * GB, 2, 1 * GB + 2 * GB},
        {"the tranche is used before the plan's own", {7 * GB, 11 * GB}, 2 * GB, 1, 1 * GB},
        {"no most: nothing carries", {1 * GB}, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RolloverInto(c.Past, 10 * GB, c.Most, c.Periods), c.Into);
    }
    EXPECT_EQ(RolloverInto({1 * GB}, std::nullopt, 2 * GB, 1), 0) << "without a limit nothing is left over";
}

TEST(PlanShapesTest, APlanChangedWhileConnectedRecountsFromTheHistoryAndLosesNothing)
{
    QTemporaryDir folder;
    THistoryStore store(folder.filePath(QStringLiteral("h.sqlite")));
    ASSERT_TRUE(store.Open(THistoryStore::TAccess::ReadWrite));
    // Monthly: 1 GB on 3 December and 2 GB on 18 December; a connection up since 19 December 10:00.
    for (const auto& [start, bytes] :
         {std::pair{At(2026, 12, 3, 10), 1 * GB}, std::pair{At(2026, 12, 18, 10), 2 * GB}}) {
        const std::int64_t id = store.BeginConnection(start, QStringLiteral("Plan"), QStringLiteral("ppp0"));
        ASSERT_TRUE(store.UpdateConnection(id, start.addSecs(3600), 0, bytes, true));
    }
    TPlanKeeper keeper;
    TMonthTotals totals;
    totals.StoredMonth = 12;
    totals.TotCon = 2;
    totals.TotRCV = 3e6; // kilobytes
    keeper.SetTotals(totals);
    keeper.SetPlan(1, false, 10 * GB);
    keeper.SetRunning(At(2026, 12, 19, 10), 0, 500 * MB);
    const QDateTime now = At(2026, 12, 19, 12);
    EXPECT_EQ(keeper.Status(now).Counted, 3 * GB + 500 * MB);
    EXPECT_FALSE(keeper.NeedsHistory(now)) << "a monthly plan without free time or rollover reads nothing";
    // Now 30 days from 15 December: the connection of the 18th and the one up are this period's.
    keeper.SetPlan(Days(30, At(2026, 12, 15, 0)), false, 10 * GB);
    ASSERT_TRUE(keeper.NeedsHistory(now));
    keeper.ReadHistory(store, now);
    EXPECT_FALSE(keeper.NeedsHistory(now));
    EXPECT_EQ(keeper.Status(now).Counted, 2 * GB + 500 * MB);
    EXPECT_EQ(keeper.Status(now).Period.First, QDate(2026, 12, 15));
    // And back: what the month counted is all there again.
    keeper.SetPlan(1, false, 10 * GB);
    EXPECT_EQ(keeper.Status(now).Counted, 3 * GB + 500 * MB);
}

} // namespace
} // namespace pulo
