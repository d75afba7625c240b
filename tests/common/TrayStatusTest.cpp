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
        {{true, QStringLiteral("My ISP"), QStringLiteral("01:02:03"), 1'914'070, 2'000'000, 24, 3'500},
         "Connected to My ISP for 01:02:03\nThis period: 1.91 MB of 2.00 MB\n24 days left, 0.004 MB a day"},
        {{true, QStringLiteral("My ISP"), QStringLiteral("01:02:03"), 123'456'000, 4'000'000'000, 24, 161'522'666},
         "Connected to My ISP for 01:02:03\nThis period: 0.123 GB of 4.00 GB\n24 days left, 162 MB a day"},
        {{false, QString(), QString(), 0, std::nullopt, 1, std::nullopt},
         "Not connected\nThis period: 0.00 MB\n1 day left"},
        {{true, QString(), QStringLiteral("00:00:01"), 5'000'000, std::nullopt, 3, std::nullopt},
         "Connected for 00:00:01\nThis period: 5.00 MB\n3 days left"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected);
        EXPECT_EQ(TrayStatusText(c.Figures).toStdString(), c.Expected);
    }
}

} // namespace
} // namespace pulo
