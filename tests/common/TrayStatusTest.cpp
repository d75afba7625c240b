#include "common/TrayStatus.h"

#include <gtest/gtest.h>

namespace pulo {
namespace {

TEST(TrayStatusTest, TheTipTellsTheLineThePeriodAndTheDaysLeft)
{
    const struct
    {
        TTrayFigures Figures;
        const char* Expected;
    } cases[] = {
        {{true, QStringLiteral("My ISP"), QStringLiteral("01:02:03"), 123.456, 4000.0, 24},
         "Connected to My ISP for 01:02:03\nThis period: 123.5 of 4000.0 MB\n24 days left"},
        {{false, QString(), QString(), 0, std::nullopt, 1}, "Not connected\nThis period: 0.0 MB\n1 day left"},
        {{true, QString(), QStringLiteral("00:00:01"), 5, std::nullopt, 3},
         "Connected for 00:00:01\nThis period: 5.0 MB\n3 days left"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected);
        EXPECT_EQ(TrayStatusText(c.Figures), QString::fromUtf8(c.Expected));
    }
}

} // namespace
} // namespace pulo
