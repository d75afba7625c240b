#include "common/AlarmColor.h"

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(AlarmColorTest, YellowPastNinetyFivePercentRedPastTheLimit)
{
    const struct
    {
        const char* Name;
        double Total;
        std::int32_t Limit;
        std::uint32_t Units;
        TColor Expected;
    } cases[] = {
        {"zero limit, zero total stays black", 0, 0, SecondsPerHour, clBlack},
        {"zero limit, any total is red", 1, 0, SecondsPerHour, clRed},
        {"exactly 95 % is not past it", 34200, 10, SecondsPerHour, clBlack},
        {"just past 95 %", 34200.5, 10, SecondsPerHour, clYellow},
        {"exactly the limit is yellow", 36000, 10, SecondsPerHour, clYellow},
        {"past the limit", 36001, 10, SecondsPerHour, clRed},
        {"megabytes at 95 %", 950, 1, KilobytesPerMB, clBlack},
        {"megabytes past 95 %", 951, 1, KilobytesPerMB, clYellow},
        {"a limit beyond 32 bits of kilobytes", 4.3e9, 5000000, KilobytesPerMB, clBlack},
        {"a negative limit never triggers", 1e12, -1, SecondsPerHour, clBlack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RaiseAlarmColor(clBlack, c.Total, c.Limit, c.Units), c.Expected);
    }
}

TEST(AlarmColorTest, ColourIsNeverLowered)
{
    EXPECT_EQ(RaiseAlarmColor(clRed, 0, 10, SecondsPerHour), clRed);
    EXPECT_EQ(RaiseAlarmColor(clRed, 35000, 10, SecondsPerHour), clRed);
    EXPECT_EQ(RaiseAlarmColor(clYellow, 0, 10, SecondsPerHour), clYellow);
}

} // namespace
} // namespace pulo
