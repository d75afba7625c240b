#include "common/ClockText.h"

#include "common/StringUtil.h"

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(ClockTextTest, MonthTotalsShowThreeOrMoreDigitsOfHours)
{
    const struct
    {
        double Seconds;
        const char* MonthTotal;
        const char* Online;
    } cases[] = {
        {0, "000:00:00", "00:00:00"},       {3599, "000:59:59", "00:59:59"},
        {3600, "001:00:00", "01:00:00"},    {5 * 3600 + 7 * 60 + 9, "005:07:09", "05:07:09"},
        {360000, "100:00:00", "100:00:00"}, {1234.0 * 3600 + 7 * 60 + 9, "1234:07:09", "1234:07:09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.MonthTotal);
        const ClockParts parts = SplitSeconds(c.Seconds);
        EXPECT_EQ(ClockText(parts, MonthTotalHourDigits), QString::fromLatin1(c.MonthTotal));
        EXPECT_EQ(ClockText(parts, OnlineHourDigits), QString::fromLatin1(c.Online));
    }
}

TEST(ClockTextTest, ZeroPadFillsLeadingBlanksOnly)
{
    const struct
    {
        const char* In;
        const char* Out;
    } cases[] = {{" 5:", "05:"}, {"12:", "12:"}, {"  ", "00"}, {"", ""}, {" 1 2", "01 2"}, {"  7", "007"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.In);
        EXPECT_EQ(ZeroPad(QString::fromLatin1(c.In)), QString::fromLatin1(c.Out));
    }
}

TEST(ClockTextTest, IntPartTruncatesTowardZero)
{
    EXPECT_EQ(IntPart(2.9), 2.0);
    EXPECT_EQ(IntPart(-2.9), -2.0);
    EXPECT_EQ(WholePart(3599.0 / 3600), 0.0);
}

} // namespace
} // namespace pulo
