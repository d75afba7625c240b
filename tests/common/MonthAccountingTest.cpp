#include "common/MonthAccounting.h"

#include <gtest/gtest.h>

namespace pulo {
namespace {

TDateTime At(int year, int month, int day, int hour, int minute, int second = 0)
{
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0);
}

TEST(MonthAccountingTest, CountsAConnectionIntoTheMonthItStarted)
{
    const TMonthTotals january{3, 7200, 500, 40, 1};
    const struct
    {
        const char* Name;
        TMonthTotals Before;
        TConnectionEnd End;
        bool Counted;
        TMonthTotals After; // StoredMonth never changes here
        std::int64_t Seconds;
        std::uint16_t Month;
    } cases[] = {
        {"same month adds",
         january,
         {At(2027, 1, 10, 20, 0), At(2027, 1, 10, 21, 30), true, 2000, 50000},
         true,
         {4, 12600, 550, 42, 1},
         5400,
         1},
        {"31 January 23:50 to 1 February 00:10 counts in January",
         january,
         {At(2027, 1, 31, 23, 50), At(2027, 2, 1, 0, 10), true, 0, 0},
         true,
         {4, 8400, 500, 40, 1},
         1200,
         1},
        {"first connection of a new month restarts the totals",
         january,
         {At(2027, 2, 3, 9, 0), At(2027, 2, 3, 9, 10), true, 1000, 3000},
         true,
         {1, 600, 3, 1, 1},
         600,
         2},
        {"25 h 3 min keeps its day",
         january,
         {At(2027, 1, 5, 8, 0), At(2027, 1, 6, 9, 3), true, 0, 0},
         true,
         {4, 7200 + 90180, 500, 40, 1},
         90180,
         1},
        {"milliseconds are dropped",
         january,
         {At(2027, 1, 5, 8, 0), At(2027, 1, 5, 8, 0, 59) + 0.9 / 86400, true, 0, 0},
         true,
         {4, 7259, 500, 40, 1},
         59,
         1},
        {"logging off counts nothing",
         january,
         {At(2027, 1, 5, 8, 0), At(2027, 1, 5, 9, 0), false, 1, 1},
         false,
         january,
         0,
         0},
        {"billing day 15: 10 February is still January's period",
         january,
         {At(2027, 2, 10, 9, 0), At(2027, 2, 10, 9, 10), true, 0, 0, 15},
         true,
         {4, 7800, 500, 40, 1},
         600,
         1},
        {"billing day 15: 15 February starts February's period",
         january,
         {At(2027, 2, 15, 0, 0), At(2027, 2, 15, 0, 10), true, 0, 0, 15},
         true,
         {1, 600, 0, 0, 1},
         600,
         2},
        {"billing day 28: 1 March is February's period",
         {3, 7200, 500, 40, 2},
         {At(2027, 3, 1, 9, 0), At(2027, 3, 1, 9, 10), true, 0, 0, 28},
         true,
         {4, 7800, 500, 40, 2},
         600,
         2},
        {"a count at the largest integer stays there",
         {2147483647, 0, 0, 0, 1},
         {At(2027, 1, 5, 8, 0), At(2027, 1, 5, 8, 1), true, 0, 0},
         true,
         {2147483647, 60, 0, 0, 1},
         60,
         1},
        {"no start stamp counts nothing", january, {0, At(2027, 1, 5, 9, 0), true, 1, 1}, false, january, 0, 0},
        {"zero duration counts nothing",
         january,
         {At(2027, 1, 5, 9, 0), At(2027, 1, 5, 9, 0), true, 1, 1},
         false,
         january,
         0,
         0},
        {"clock set back counts nothing",
         january,
         {At(2027, 1, 5, 9, 0), At(2027, 1, 5, 8, 0), true, 1, 1},
         false,
         january,
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TMonthTotals totals = c.Before;
        const auto counted = CountConnection(totals, c.End);
        ASSERT_EQ(counted.has_value(), c.Counted);
        EXPECT_EQ(totals.TotCon, c.After.TotCon);
        EXPECT_DOUBLE_EQ(totals.TotTime, c.After.TotTime);
        EXPECT_DOUBLE_EQ(totals.TotRCV, c.After.TotRCV);
        EXPECT_DOUBLE_EQ(totals.TotTMT, c.After.TotTMT);
        EXPECT_EQ(totals.StoredMonth, c.After.StoredMonth);
        if (counted) {
            EXPECT_EQ(counted->ConnSeconds, c.Seconds);
            EXPECT_EQ(counted->PeriodMonth.Month, c.Month);
            EXPECT_EQ(counted->Hours * 3600 + counted->Minutes * 60 + counted->Seconds, c.Seconds);
        }
    }
}

TEST(MonthAccountingTest, TheMonthAfterARestartAddsToIt)
{
    TMonthTotals totals{9, 99999, 9999, 999, 1};
    ASSERT_TRUE(CountConnection(totals, {At(2027, 2, 1, 10, 0), At(2027, 2, 1, 10, 1), true, 1000, 2000}));
    totals.StoredMonth = 2; // as the settings file stores it after the connection's end
    const auto second = CountConnection(totals, {At(2027, 2, 2, 10, 0), At(2027, 2, 2, 10, 2), true, 3000, 4000});
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->SameMonth);
    EXPECT_EQ(totals, (TMonthTotals{2, 180, 6, 4, 2}));
}

} // namespace
} // namespace pulo
