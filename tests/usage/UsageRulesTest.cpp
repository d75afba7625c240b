#include "common/BillingPeriod.h"
#include "common/FormatSettings.h"
#include "settings/LogLines.h"
#include "usage/DataSaver.h"
#include "usage/Export.h"
#include "usage/LogImport.h"
#include "usage/Packs.h"
#include "usage/PlanAlerts.h"
#include "usage/PlanStatus.h"
#include "usage/StatusFormats.h"
#include "usage/StatusReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(BillingPeriodTest, APeriodRunsFromItsBillingDayToTheNext)
{
    const struct
    {
        QDate Day;
        int BillingDay;
        QDate First;
        QDate End;
        int DaysLeft;
    } cases[] = {
        {{2026, 12, 8}, 1, {2026, 12, 1}, {2027, 1, 1}, 24},
        {{2026, 12, 31}, 1, {2026, 12, 1}, {2027, 1, 1}, 1},
        {{2026, 12, 14}, 15, {2026, 11, 15}, {2026, 12, 15}, 1},
        {{2026, 12, 15}, 15, {2026, 12, 15}, {2027, 1, 15}, 31},
        {{2027, 1, 31}, 28, {2027, 1, 28}, {2027, 2, 28}, 28},
        {{2027, 3, 1}, 28, {2027, 2, 28}, {2027, 3, 28}, 27},
        {{2027, 1, 10}, 32, {2027, 1, 1}, {2027, 2, 1}, 22}, // no such billing day: the calendar month
        // 29 to 31: the month's last day when it is shorter, in common and leap years.
        {{2027, 1, 31}, 31, {2027, 1, 31}, {2027, 2, 28}, 28},
        {{2027, 2, 27}, 31, {2027, 1, 31}, {2027, 2, 28}, 1},
        {{2027, 2, 28}, 31, {2027, 2, 28}, {2027, 3, 31}, 31},
        {{2028, 2, 28}, 31, {2028, 1, 31}, {2028, 2, 29}, 1},
        {{2028, 3, 1}, 30, {2028, 2, 29}, {2028, 3, 30}, 29},
        {{2028, 3, 30}, 30, {2028, 3, 30}, {2028, 4, 30}, 31},
        {{2027, 4, 29}, 29, {2027, 4, 29}, {2027, 5, 29}, 30},
        {{2027, 3, 28}, 29, {2027, 2, 28}, {2027, 3, 29}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Day.toString(Qt::ISODate).toStdString() + " day " + std::to_string(c.BillingDay));
        const TBillingPeriod period = PeriodOf(c.Day, c.BillingDay);
        EXPECT_EQ(period.First, c.First);
        EXPECT_EQ(period.End, c.End);
        EXPECT_EQ(DaysLeft(period, c.Day), c.DaysLeft);
    }
}

TEST(BillingPeriodTest, TheForecastFollowsThePaceOfThePeriod)
{
    const TBillingPeriod december{{2026, 12, 1}, {2027, 1, 1}};
    const QDateTime tenDaysIn(QDate(2026, 12, 11), QTime(0, 0));
    EXPECT_EQ(ForecastDate(december, tenDaysIn, 1000, 2000), QDate(2026, 12, 21));
    EXPECT_EQ(ForecastDate(december, tenDaysIn, 100, 2000), QDate(2027, 6, 19)) << "past the period: within it";
    EXPECT_EQ(ForecastDate(december, tenDaysIn, 3000, 2000), QDate(2026, 12, 11)) << "already passed";
    EXPECT_FALSE(ForecastDate(december, tenDaysIn, 0, 2000).has_value());
    EXPECT_FALSE(ForecastDate(december, tenDaysIn, 1000, 0).has_value()) << "no limit";
    EXPECT_GT(ForecastDate(december, tenDaysIn, 1, 9'000'000'000'000'000'000), QDate(9999, 12, 31))
        << "a byte against the largest limit: far away, not in the past";
}

TEST(PlanKeeperTest, ThePeriodFollowsTheBillingDayAndTheCalendarAskAfterAsk)
{
    // One keeper asked every second: a billing day changed in the settings, or a new day, moves
    // the period and its pace at once.
    constexpr std::int64_t Day = 86400;
    TPlanKeeper keeper;
    const struct
    {
        const char* Name;
        int BillingDay;
        QDateTime Now;
        QDate First;
        std::int64_t PeriodSeconds;
        std::int64_t ElapsedSeconds;
    } asks[] = {
        {"the calendar month", 1, {{2026, 12, 8}, {12, 0}}, {2026, 12, 1}, 31 * Day, 7 * Day + Day / 2},
        {"a billing day set to the 15th", 15, {{2026, 12, 8}, {12, 0}}, {2026, 11, 15}, 30 * Day, 23 * Day + Day / 2},
        {"past the billing day", 15, {{2026, 12, 20}, {0, 0}}, {2026, 12, 15}, 31 * Day, 5 * Day},
        {"back to the first", 1, {{2026, 12, 20}, {0, 0}}, {2026, 12, 1}, 31 * Day, 19 * Day},
    };
    for (const auto& ask : asks) {
        SCOPED_TRACE(ask.Name);
        keeper.SetPlan(ask.BillingDay, false, std::nullopt);
        const TPlanStatus status = keeper.Status(ask.Now.toUTC());
        EXPECT_EQ(status.Period.First, ask.First);
        EXPECT_EQ(status.PeriodSeconds, ask.PeriodSeconds);
        EXPECT_EQ(status.ElapsedSeconds, ask.ElapsedSeconds);
    }
}

TEST(PlanKeeperTest, TheDailyAllowanceSharesOutWhatWasLeftAtTheDaysStart)
{
    constexpr std::int64_t GB = 1'000'000'000;
    const struct
    {
        const char* Name;
        QDateTime Now;
        double ReceivedKB; // this period's month totals
        std::int64_t UsedToday;
        std::optional<std::int64_t> Limit;
        std::optional<std::int64_t> Allowance;
    } cases[] = {
        {"a week in", {{2026, 12, 8}, {12, 0}}, 7e6, 1 * GB, 31 * GB, 25 * GB / 24},
        {"the last day", {{2026, 12, 31}, {9, 0}}, 30e6, 0, 31 * GB, 1 * GB},
        {"past the limit", {{2026, 12, 20}, {9, 0}}, 32e6, 2 * GB, 31 * GB, 0},
        {"used today more than the history says the period holds",
         {{2026, 12, 8}, {9, 0}},
         1e6,
         3 * GB,
         31 * GB,
         31 * GB / 24},
        {"no limit", {{2026, 12, 8}, {9, 0}}, 7e6, 1 * GB, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPlanKeeper keeper;
        keeper.SetTotals({3, 0, c.ReceivedKB, 0, 12});
        keeper.SetPlan(1, false, c.Limit);
        keeper.SetFinishedToday(c.Now, c.UsedToday);
        const TPlanStatus status = keeper.Status(c.Now);
        EXPECT_EQ(status.DailyAllowance, c.Allowance);
        EXPECT_EQ(status.UsedToday, std::min<std::int64_t>(c.UsedToday, status.Counted));
    }

    // A day that begins while the program runs starts at nothing used, from what counted then.
    TPlanKeeper keeper;
    keeper.SetTotals({3, 0, 7e6, 0, 12});
    keeper.SetPlan(1, false, 31 * GB);
    const QDateTime evening({2026, 12, 8}, {23, 0});
    keeper.SetFinishedToday(evening, 1 * GB);
    keeper.SetRunning(evening, 0, 0);
    keeper.SetRunning(evening, 0, 2 * GB / 10);
    keeper.FollowDay(QDateTime({2026, 12, 9}, {0, 0, 1}));
    keeper.SetRunning(evening, 0, 5 * GB / 10);
    const TPlanStatus morning = keeper.Status(QDateTime({2026, 12, 9}, {8, 0}));
    EXPECT_EQ(morning.UsedToday, 3 * GB / 10);
    EXPECT_EQ(morning.DailyAllowance, (31 * GB - 72 * GB / 10) / 23);
}

TEST(DataSaverTest, ThePlanRunsShortByItsForecastItsHighestThresholdOrTodaysAllowance)
{
    constexpr double GB = 1e6; // in the month totals' kilobytes
    const QDateTime now({2026, 12, 10}, {12, 0});
    const struct
    {
        const char* Name;
        double ReceivedGB; // this period's, by noon of its tenth day
        double TodayGB;    // of which today's
        std::optional<std::int64_t> LimitGB;
        std::vector<int> Thresholds;
        const char* Why; // the start of it; "" when the plan does not run short
    } cases[] = {
        {"at an easy pace", 5, 0.5, 31, {80, 90, 100}, ""},
        {"at a pace that passes the limit on the 21st", 20, 0.5, 31, {80, 90, 100}, "at this pace the limit"},
        {"past the highest threshold", 19, 0.5, 31, {50, 60}, "60 % of the download limit"},
        {"a threshold passed that is not the highest", 19, 0.5, 31, {50, 90}, "at this pace the limit"},
        {"today's allowance used up", 4, 3, 31, {80, 90, 100}, "today's allowance is used up"},
        {"today's allowance not quite used", 4, 1.2, 31, {80, 90, 100}, ""},
        {"no thresholds, an easy pace", 5, 0.5, 31, {}, ""},
        {"the limit passed", 32, 0.5, 31, {}, "the download limit has been passed"},
        {"no limit", 32, 30, std::nullopt, {80}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPlanKeeper keeper;
        keeper.SetTotals({3, 0, c.ReceivedGB * GB, 0, 12});
        keeper.SetPlan(1, false, c.LimitGB ? std::optional<std::int64_t>(*c.LimitGB * 1'000'000'000) : std::nullopt);
        keeper.SetFinishedToday(now, static_cast<std::int64_t>(c.TodayGB * 1e9));
        const QString why = RunsShort(keeper.Status(now), c.Thresholds);
        if (*c.Why == '\0')
            EXPECT_TRUE(why.isEmpty()) << why.toStdString();
        else
            EXPECT_TRUE(why.startsWith(QString::fromLatin1(c.Why))) << why.toStdString();
    }
}

TEST(DataSaverTest, TheModeDecidesAndNotTodayLastsUntilMidnightAcrossRestarts)
{
    TPlanKeeper keeper;
    keeper.SetTotals({3, 0, 32e6, 0, 12});
    keeper.SetPlan(1, false, 31'000'000'000);
    const QDate today(2026, 12, 10);
    const TPlanStatus shortPlan = keeper.Status(QDateTime(today, {12, 0}));
    keeper.SetPlan(1, false, std::nullopt);
    const TPlanStatus easyPlan = keeper.Status(QDateTime(today, {12, 0}));
    const struct
    {
        TDataSaverMode Mode;
        const TPlanStatus& Plan;
        QDate Day;
        bool NotTodayBefore; // "Not today" said on the 10th
        bool Changed;
        const char* State;
    } steps[] = {
        {TDataSaverMode::Off, shortPlan, today, false, false, "off"},
        {TDataSaverMode::WhenShort, easyPlan, today, false, false, "auto-off"},
        {TDataSaverMode::WhenShort, shortPlan, today, false, true, "auto-on"},
        {TDataSaverMode::WhenShort, shortPlan, today, false, false, "auto-on"},
        {TDataSaverMode::WhenShort, shortPlan, today, true, true, "auto-off"},
        {TDataSaverMode::Always, easyPlan, today, true, false, "off"},
        {TDataSaverMode::WhenShort, shortPlan, today.addDays(1), true, true, "auto-on"},
        {TDataSaverMode::Always, easyPlan, today.addDays(1), true, false, "on"},
        {TDataSaverMode::Off, shortPlan, today.addDays(1), false, true, "off"},
    };
    TDataSaver saver;
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(step++);
        // Each step as a restart would see it: "Not today" comes back from what was kept.
        TDataSaver kept;
        if (s.NotTodayBefore)
            kept.NotToday(today);
        saver.Restore(kept.NotTodayText());
        saver.SetMode(s.Mode);
        EXPECT_EQ(saver.Follow(s.Plan, {80, 90, 100}, s.Day), s.Changed);
        EXPECT_EQ(saver.State().toStdString(), s.State);
        EXPECT_EQ(saver.On(), !saver.Why().isEmpty());
    }
}

TEST(TariffTest, PlansAsSoldCostAndCapWhatEveryViewShows)
{
    // Noon of the 10th of December: 9.5 days of a 31-day period gone.
    const QDateTime now({2026, 12, 10}, {12, 0});
    constexpr std::int64_t GB = 1'000'000'000;
    const struct
    {
        const char* Name;
        double ReceivedGB;
        double Hours; // online this period
        std::optional<std::int64_t> Limit;
        TTariff Tariff;
        std::optional<double> Cost;     // so far
        std::optional<double> Forecast; // by the period's end
        const char* Line;               // what the status line says of it, "" for nothing
    } cases[] = {
        {"dial-up charged by the minute",
         0.05,
         1.5,
         std::nullopt,
         {std::nullopt, 0, 0.60, 0, QStringLiteral("EUR")},
         0.90,
         0.90 * 31 / 9.5,
         "cost so far 0.90 EUR, about 2.94 EUR by the period's end"},
        {"10 GB for 20 a month, 0.01 a MB beyond",
         12,
         0,
         10 * GB,
         {std::nullopt, 0.01, 0, 20, QStringLiteral("EUR")},
         40.0,
         20 + (12e9 * 31 / 9.5 - 10e9) / 1e6 * 0.01,
         "cost so far 40.00 EUR"},
        {"within the allowance, the plan's price only",
         5,
         0,
         10 * GB,
         {std::nullopt, 0.01, 0, 20, QStringLiteral("$")},
         20.0,
         20 + (5e9 * 31 / 9.5 - 10e9) / 1e6 * 0.01,
         "cost so far 20.00 $"},
        {"pay as you go",
         1.5,
         0,
         std::nullopt,
         {std::nullopt, 0.002, 0, 0, QStringLiteral("GBP")},
         3.0,
         1.5e9 * 31 / 9.5 / 1e6 * 0.002,
         "cost so far 3.00 GBP"},
        {"no prices", 1.5, 3, 10 * GB, {}, std::nullopt, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPlanKeeper keeper;
        keeper.SetTotals({3, c.Hours * 3600, c.ReceivedGB * 1e6, 0, 12});
        keeper.SetPlan(1, false, c.Limit);
        keeper.SetTariff(c.Tariff);
        const TPlanStatus status = keeper.Status(now);
        ASSERT_EQ(status.CostSoFar.has_value(), c.Cost.has_value());
        if (c.Cost) {
            EXPECT_NEAR(*status.CostSoFar, *c.Cost, 0.005);
            EXPECT_NEAR(*status.CostForecast, *c.Forecast, 0.01);
        }
        TStatusReport report;
        report.Plan = status;
        const QString line = ReportLine(report);
        if (*c.Line == '\0')
            EXPECT_FALSE(line.contains(QStringLiteral("cost"))) << line.toStdString();
        else
            EXPECT_TRUE(line.contains(QString::fromLatin1(c.Line))) << line.toStdString();
        // What --json says is what the window said.
        const std::optional<TStatusReport> read = ReportFromJson(ReportJson(report));
        ASSERT_TRUE(read);
        EXPECT_EQ(ReportLine(*read), line);
    }
}

TEST(TariffTest, ADailyCapLimitsTheAllowanceWarnsOnceADayAndRunsThePlanShort)
{
    constexpr std::int64_t GB = 1'000'000'000;
    TPlanKeeper keeper;
    keeper.SetTotals({3, 0, 4e6, 0, 12});
    keeper.SetPlan(1, false, 31 * GB);
    TTariff tariff;
    tariff.DailyLimit = GB;
    keeper.SetTariff(tariff);
    TPlanAlerts alerts;
    alerts.SetAllowanceNotice(false);
    const QDate today(2026, 12, 10);
    const struct
    {
        QTime At;
        double TodayGB;
        std::int64_t Allowance;
        bool CapDue;
        bool Short;
    } moments[] = {
        // What was left over the days left would be 1.27 GB a day: the cap allows 1 GB.
        {{9, 0}, 0.2, GB, false, false},
        {{14, 59}, 0.99, GB, false, false},
        {{15, 0}, 1.0, GB, true, true},
        {{18, 0}, 1.4, GB, false, true}, // told once a day
    };
    for (const auto& m : moments) {
        SCOPED_TRACE(m.At.toString().toStdString());
        keeper.SetFinishedToday(QDateTime(today, m.At), static_cast<std::int64_t>(m.TodayGB * 1e9));
        const TPlanStatus status = keeper.Status(QDateTime(today, m.At));
        EXPECT_EQ(status.DailyAllowance, m.Allowance);
        EXPECT_EQ(status.DailyLimit, GB);
        const std::vector<TPlanAlert> due = alerts.Due(status, today);
        EXPECT_EQ(std::any_of(due.begin(), due.end(),
                              [](const TPlanAlert& a) { return a.Kind == TPlanAlert::TKind::DailyCap; }),
                  m.CapDue);
        EXPECT_EQ(!RunsShort(status, {}).isEmpty(), m.Short);
    }
    // Given once a day, also across a restart; the next day's cap is told again.
    TPlanAlerts restarted;
    restarted.SetAllowanceNotice(false);
    restarted.Restore(alerts.Given());
    keeper.SetFinishedToday(QDateTime(today, {20, 0}), 2 * GB);
    EXPECT_TRUE(restarted.Due(keeper.Status(QDateTime(today, {20, 0})), today).empty());
    keeper.SetFinishedToday(QDateTime(today.addDays(1), {20, 0}), 2 * GB);
    const std::vector<TPlanAlert> tomorrow =
        restarted.Due(keeper.Status(QDateTime(today.addDays(1), {20, 0})), today.addDays(1));
    EXPECT_EQ(tomorrow.size(), 1U);
}

TEST(PackTest, EachByteComesFromTheAllowanceThatEndsFirstAmongThoseThereWhenItWasCounted)
{
    // A period of December; the plan's own allowance of 10 (units: GB).
    const QDateTime periodEnd = QDate(2027, 1, 1).startOfDay();
    constexpr std::int64_t G = 1'000'000'000;
    const auto pack = [](int addedDay, QDate until, std::int64_t bytes, std::int64_t countedAtAdd,
                         std::optional<std::int64_t> countedAtEnd = std::nullopt) {
        return TPack{0, QDateTime(QDate(2026, 12, addedDay), QTime(9, 0)), until, bytes, countedAtAdd, countedAtEnd};
    };
    const QDate day20(2026, 12, 20);
    const QDate last(2026, 12, 31);
    const struct
    {
        const char* Name;
        int Day; // now: noon of this day of December
        std::int64_t Counted;
        std::optional<std::int64_t> Limit;
        std::vector<TPack> Packs;
        std::optional<std::int64_t> Whole;
        std::vector<std::int64_t> Left;
    } cases[] = {
        {"no pack", 15, 4 * G, 10 * G, {}, 10 * G, {}},
        {"a 5 GB pack to the 20th, used first", 15, 6 * G, 10 * G, {pack(10, day20, 5 * G, 3 * G)}, 15 * G, {2 * G}},
        {"the pack used up, the rest from the plan", 18, 12 * G, 10 * G, {pack(10, day20, 5 * G, 3 * G)}, 15 * G, {0}},
        {"the pack ended: what it covered stays allowed",
         25,
         12 * G,
         10 * G,
         {pack(10, day20, 5 * G, 3 * G, 7 * G)},
         14 * G,
         {0}},
        {"a pack to the period's end is used after the plan's own",
         18,
         12 * G,
         10 * G,
         {pack(10, last, 5 * G, 3 * G)},
         15 * G,
         {3 * G}},
        {"a pack without a plan's limit",
         15,
         4 * G / 10,
         std::nullopt,
         {pack(10, last, 1 * G, 0)},
         1 * G,
         {6 * G / 10}},
        {"of two packs, the one that ends first; a pack takes nothing counted before it came",
         12,
         12,
         10,
         {pack(5, QDate(2026, 12, 15), 100, 2), pack(10, last, 5, 8)},
         115,
         {90, 5}},
        {"past everything",
         28,
         40 * G,
         10 * G,
         {pack(10, day20, 5 * G, 3 * G, 9 * G), pack(21, last, 2 * G, 20 * G)},
         10 * G + 5 * G + 2 * G,
         {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TAllowance allowance =
            DrawAllowance(c.Counted, c.Limit, c.Packs, QDateTime(QDate(2026, 12, c.Day), QTime(12, 0)), periodEnd);
        EXPECT_EQ(allowance.Limit, c.Whole);
        ASSERT_EQ(allowance.Packs.size(), c.Left.size());
        for (std::size_t i = 0; i < c.Left.size(); ++i)
            EXPECT_EQ(allowance.Packs[i].Left, c.Left[i]) << "pack " << i;
    }
}

TEST(StatusLineTest, AnEntryNameOfAnyMakingStaysOnOneLine)
{
    for (const char16_t* name : {u"My\nISP", u"My\r\nISP", u"My\u2028ISP", u"My\tISP;4G", u"My\x1b[2JISP"}) {
        TStatusReport report;
        report.Online = true;
        report.Entry = QString::fromUtf16(name);
        SCOPED_TRACE(report.Entry.toStdString());
        const QString line = ReportLine(report);
        EXPECT_TRUE(line.startsWith(QStringLiteral("Connected to My"))) << line.toStdString();
        const QByteArray oneLine = OneLine(report);
        for (const QString& text : {line, QString::fromUtf8(oneLine.chopped(oneLine.endsWith('\n') ? 1 : 0))})
            for (const QChar character : text)
                EXPECT_TRUE(character.isPrint())
                    << "a character that breaks or moves the line: " << static_cast<int>(character.unicode());
        EXPECT_EQ(oneLine.trimmed().split(';').size(), 14) << oneLine.toStdString();
    }
}

TEST(StatusLineTest, WaybarGetsMarkupThatReadsAsTheEntrysName)
{
    for (const bool online : {true, false}) {
        TStatusReport report;
        report.Online = online;
        report.Entry = QStringLiteral("AT&T <4G>");
        const QJsonObject module = WaybarJson(report, {});
        EXPECT_EQ(module[QStringLiteral("alt")].toString(), online ? "online" : "offline");
        for (const char* key : {"text", "tooltip"}) {
            SCOPED_TRACE(key);
            // As Pango would read it: markup inside a span.
            QXmlStreamReader markup(QStringLiteral("<span>") + module[QLatin1String(key)].toString() +
                                    QStringLiteral("</span>"));
            ASSERT_TRUE(markup.readNextStartElement());
            const QString shown = markup.readElementText();
            EXPECT_FALSE(markup.hasError()) << markup.errorString().toStdString();
            if (QLatin1String(key) == QLatin1String("tooltip")) {
                EXPECT_EQ(shown.contains(QStringLiteral("Connected to AT&T <4G>")), online) << shown.toStdString();
            }
        }
    }
}

TEST(LogImportTest, ConnectionLinesBecomeRowsAndOddLinesAreCounted)
{
    CurrentFormat() = FormatSettings{};
    const TDateTime start = EncodeDate(2026, 12, 7) + EncodeTime(23, 50, 0, 0);
    const QStringList log =
        QStringList{ConnectionLine(std::floor(start), start, start + 1800.0 / 86400, 0, 30, 0, 123.456, 2345.678,
                                   QStringLiteral("My \u2022 ISP")),
                    QStringLiteral("my own note"),
                    ConnectionLine(std::floor(start), start, start + 90180.0 / 86400, 25, 3, 0, 0, 1, QString()),
                    QStringLiteral("32/13/2026 \u2022 10:00:00 \u2014> 11:00:00 \u2022 01:00:00 \u2022 1 \u2022 2 "
                                   "\u2022 x")} +
        MonthTotalsBlock(2, "25", "33", "0", 123.456, 2346.678);
    const TLogImport import = ImportLogLines(log);
    EXPECT_EQ(import.Unreadable, 2) << "the note and the impossible date";
    ASSERT_EQ(import.Connections.size(), 2U);
    const TUsageConnection& first = import.Connections[0];
    EXPECT_EQ(first.Start, QDateTime(QDate(2026, 12, 7), QTime(23, 50)));
    EXPECT_EQ(first.Seconds, 1800);
    EXPECT_EQ(first.End, first.Start.addSecs(1800));
    EXPECT_EQ(first.Sent, 123456);
    EXPECT_EQ(first.Received, 2345678);
    EXPECT_EQ(first.Entry, QStringLiteral("My \u2022 ISP"));
    EXPECT_EQ(import.Connections[1].Seconds, 90180) << "a connection past a day";
}

TEST(LogImportTest, ALogWrittenUnderOtherFormatsIsReadOneWayAndImpossibleFiguresAreNot)
{
    CurrentFormat() = FormatSettings{}; // today's desktop writes dd/MM/yyyy
    const QString tail = QStringLiteral(" \u2022 00:10:00 \u2022      1.5 \u2022       20 \u2022 My ISP");
    const auto line = [&](const char* date, const char* time) {
        return QString::fromLatin1(date) + QStringLiteral(" \u2022 ") + QString::fromLatin1(time) +
               QStringLiteral(" \u2014> 10:10:00") + tail;
    };
    struct Row
    {
        const char* Name;
        QStringList Lines;
        QDate FirstDay; // of the first connection
        int Read;
        int Unreadable;
    };
    const Row rows[] = {
        {"today's format", {line("01/12/2026", "10:00:00"), line("31/12/2026", "10:00:00")}, {2026, 12, 1}, 2, 0},
        // 13/04 can only be a day first: the file is read that way, 03/04 with it.
        {"another day-first log", {line("03.04.2024", "10:00:00"), line("13.04.2024", "10:00:00")}, {2024, 4, 3}, 2, 0},
        {"a month-first log", {line("04/03/2024", "10:00:00"), line("04/13/2024", "10:00:00")}, {2024, 4, 3}, 2, 0},
        {"ISO dates, 12-hour times", {line("2024-04-03", "10:00:00 AM")}, {2024, 4, 3}, 1, 0},
        {"two-digit years", {line("03/04/24", "10:00:00")}, {2024, 4, 3}, 1, 0},
        {"absurd figures",
         {line("01/12/2026", "10:00:00"),
          QStringLiteral("01/12/2026 \u2022 10:00:00 \u2014> 10:10:00 \u2022 00:10:00 \u2022 1e300 \u2022 1 \u2022 x"),
          QStringLiteral("01/12/2026 \u2022 10:00:00 \u2014> 10:10:00 \u2022 9223372036854775807:00:00 \u2022 1 "
                         "\u2022 1 \u2022 x"),
          QStringLiteral("01/12/2026 \u2022 10:00:00 \u2014> 10:10:00 \u2022 00:10:00 \u2022 -1 \u2022 1 \u2022 x")},
         {2026, 12, 1},
         1,
         3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const TLogImport import = ImportLogLines(row.Lines);
        EXPECT_EQ(import.Unreadable, row.Unreadable);
        ASSERT_EQ(static_cast<int>(import.Connections.size()), row.Read);
        EXPECT_EQ(import.Connections[0].Start, QDateTime(row.FirstDay, QTime(10, 0)));
        EXPECT_EQ(import.Connections[0].Sent, 1500);
        for (const TUsageConnection& connection : import.Connections) {
            EXPECT_GE(connection.End, connection.Start);
            EXPECT_GE(connection.Received, 0);
        }
    }
}

TEST(ExportTest, CsvAndJsonReadBackWithOtherParsers)
{
    TUsageConnection tricky;
    tricky.Start = QDateTime(QDate(2026, 12, 7), QTime(10, 0), Qt::OffsetFromUTC, 3600);
    tricky.End = tricky.Start.addSecs(61);
    tricky.Seconds = 61;
    tricky.Sent = 5'100'000'000;
    tricky.Received = 7;
    tricky.Entry = QStringLiteral("ISP, \"the\" one\nsecond line \u00e9");
    tricky.Interface = QStringLiteral("ppp0");
    const std::vector<TUsageConnection> rows{tricky, tricky};

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import csv, sys, io\n"
                                                       "rows = list(csv.reader(io.TextIOWrapper(sys.stdin.buffer, "
                                                       "encoding='utf-8', newline='')))\n"
                                                       "print(len(rows)); print(rows[0][5]); print(rows[1][5]); "
                                                       "print(rows[1][3]); print(rows[1][0])")});
    if (!python.waitForStarted())
        GTEST_SKIP() << "skipped: python3 is not installed";
    python.write(ConnectionsCsv(rows));
    python.closeWriteChannel();
    python.waitForFinished();
    const QStringList read = QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'));
    EXPECT_EQ(read.value(0), QStringLiteral("3"));
    EXPECT_EQ(read.value(1), QStringLiteral("entry"));
    EXPECT_EQ(read.value(2) + "\n" + read.value(3), tricky.Entry);
    EXPECT_EQ(read.value(4), QStringLiteral("5100000000"));
    EXPECT_EQ(read.value(5), QStringLiteral("2026-12-07T10:00:00+01:00"));

    const QJsonArray json = QJsonDocument::fromJson(ConnectionsJson(rows)).array();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[0].toObject()[QStringLiteral("entry")].toString(), tricky.Entry);
    EXPECT_EQ(json[0].toObject()[QStringLiteral("sent")].toInteger(), 5'100'000'000);
    EXPECT_EQ(json[0].toObject()[QStringLiteral("end")].toString(), QStringLiteral("2026-12-07T10:01:01+01:00"));
}

} // namespace
} // namespace pulo
