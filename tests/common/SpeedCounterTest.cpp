#include "common/SpeedCounter.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace pulo {
namespace {

TEST(SpeedCounterTest, SamplesBecomeCurrentPeakAndAverage)
{
    const struct
    {
        const char* Name;
        std::vector<std::uint32_t> BytesIn; // received in each one-second sample
        const char* Current;
        const char* Peak;
        const char* Average;
        std::uint32_t Samples;
    } cases[] = {
        {"125000 bytes are 1000 kbps", {125000}, "1000", "1000", "1000", 1},
        {"124 bytes are 0 kbps but a sample", {124}, "0", "0", "0", 1},
        {"idle seconds do not lower the average", {1000, 0, 0, 3000}, "24", "24", "16", 2},
        {"no traffic yet", {0, 0}, "0", "0", "  --  ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        IfCounter counter;
        std::uint32_t octets = 7777;
        counter.Reset(octets, 0);
        for (const auto bytes : c.BytesIn) {
            octets += bytes;
            counter.Sample(octets, 0);
        }
        EXPECT_EQ(KbpsText(counter.DeltaIn), QString::fromLatin1(c.Current));
        EXPECT_EQ(KbpsText(counter.PeakIn), QString::fromLatin1(c.Peak));
        EXPECT_EQ(AverageText(counter.SumIn, counter.SamplesIn), QString::fromLatin1(c.Average));
        EXPECT_EQ(counter.SamplesIn, c.Samples);
        EXPECT_EQ(AverageText(counter.SumOut, counter.SamplesOut), QStringLiteral("  --  "));
    }
}

TEST(SpeedCounterTest, CountersThatGoDownRestarted)
{
    const struct
    {
        const char* Name;
        std::uint64_t Last;
        std::uint64_t Now;
        std::uint64_t Delta;
    } cases[] = {
        {"steady", 100, 100, 0},
        {"growing", 100, 350, 250},
        {"past 32 bits", 0xFFFFFF00U, 0x100000100ULL, 0x200},
        {"an interface that restarted", 3500000000U, 4000, 0}, // no phantom of 6 Gbit/s
        {"a redial reusing the name", 80000, 12, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CounterDelta(c.Last, c.Now), c.Delta);
    }
}

TEST(SpeedCounterTest, SumsGoPastThirtyTwoBits)
{
    IfCounter counter;
    std::uint64_t octets = 0;
    counter.Reset(octets, 0);
    for (int second = 0; second < 10; ++second) {
        octets += 900000000U; // 0.9 GB a second
        counter.Sample(octets, 0);
    }
    EXPECT_EQ(counter.SumIn, 9000000000ULL);
    EXPECT_EQ(AverageText(counter.SumIn, counter.SamplesIn), QStringLiteral("7200000"));
}

} // namespace
} // namespace pulo
