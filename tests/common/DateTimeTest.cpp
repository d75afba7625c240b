#include "common/DateTime.h"

#include "platform/sim/SimBackend.h"

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(DateTimeTest, DaysCountFromTheEndOf1899)
{
    const struct
    {
        int Year, Month, Day;
        double Days;
    } cases[] = {
        {1899, 12, 30, 0}, {1900, 1, 1, 2}, {1970, 1, 1, 25569}, {2000, 2, 29, 36585}, {2026, 12, 7, 46363},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Days);
        EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Days);
        const DateParts parts = DecodeDate(c.Days + 0.75);
        EXPECT_EQ(parts.Year, c.Year);
        EXPECT_EQ(parts.Month, c.Month);
        EXPECT_EQ(parts.Day, c.Day);
    }
}

TEST(DateTimeTest, NowComesFromThePlatformClock)
{
    auto sim = win::sim::InstallSimBackend();
    sim->SetNow(2026, 12, 7, 18, 0, 0);
    EXPECT_DOUBLE_EQ(Now(), 46363.75);
    EXPECT_EQ(sim->Now.wDayOfWeek, 1); // a Monday
}

} // namespace
} // namespace pulo
