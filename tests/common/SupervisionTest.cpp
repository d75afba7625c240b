#include "common/Supervision.h"

#include "common/AlarmColor.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(SupervisionTest, LimitColoursWarnOnlyWhenActive)
{
    const struct
    {
        const char* Name;
        double Total;
        std::int32_t Limit;
        std::uint32_t Units;
        bool Active;
        TColor Expected;
    } cases[] = {
        {"95000 of 100 MB is not past 95 %", 95000, 100, KilobytesPerMB, true, clBlack},
        {"95000.5 is", 95000.5, 100, KilobytesPerMB, true, clYellow},
        {"past the limit", 100000.5, 100, KilobytesPerMB, true, clRed},
        {"34200 s of 10 h", 34200.5, 10, SecondsPerHour, true, clYellow},
        {"inactive, past a limit of 0", 5, 0, SecondsPerHour, false, clBlack},
        {"active, past a limit of 0", 5, 0, SecondsPerHour, true, clRed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RaiseLimitColor(clBlack, c.Total, c.Limit, c.Units, c.Active), c.Expected);
    }
    EXPECT_EQ(RaiseLimitColor(clRed, 0, 100, KilobytesPerMB, true), clRed) << "never lowered";
}

TEST(SupervisionTest, TimeOnlineKeepsItsDays)
{
    const TDateTime start = EncodeDate(2027, 3, 1) + EncodeTime(22, 0, 0, 0);
    const struct
    {
        TDateTime Now;
        const char* Text;
    } cases[] = {
        {start, "00:00:00"},      {start + EncodeTime(1, 2, 3, 999), "01:02:03"},
        {start + 1, "24:00:00"},  {start + 1 + EncodeTime(1, 3, 0, 0), "25:03:00"},
        {start + 5, "120:00:00"}, {start - 0.1, "00:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(OnlineClockText(start, c.Now), QString::fromLatin1(c.Text));
    }
}

TEST(SupervisionTest, ConnectSpeedAndIdleTest)
{
    const struct
    {
        std::uint32_t Platform;
        std::int32_t Speed;
        bool Set;
        const char* Text;
        bool Clear;
    } cases[] = {
        {1, 33600, true, "33600", false},
        {1, 9600, true, "    N/A", true},
        {2, 0, true, "    N/A", true},
        {2, 50000, false, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Speed);
        const TDceSpeedText text = DceSpeedText(c.Platform, c.Speed);
        EXPECT_EQ(text.SetSpeed, c.Set);
        EXPECT_EQ(text.Speed, QString::fromLatin1(c.Text));
        EXPECT_EQ(text.ClearUnit, c.Clear);
    }
    EXPECT_TRUE(OnlineSoundPlays(false, "1200", "1200"));
    EXPECT_FALSE(OnlineSoundPlays(false, "1300", "1200"));
    EXPECT_TRUE(OnlineSoundPlays(true, "1300", "1200"));
}

} // namespace
} // namespace pulo
