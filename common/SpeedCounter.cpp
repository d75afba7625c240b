#include "common/SpeedCounter.h"

#include <algorithm>

namespace pulo {

namespace {

// More than this in one second (1 GiB, over 8 Gbit/s) is taken for a reset, not a wrap.
constexpr std::uint64_t LargestWrapDelta = 0x40000000ULL;

} // namespace

std::uint32_t CounterDelta(std::uint32_t last, std::uint32_t now)
{
    if (now >= last)
        return now - last;
    const std::uint64_t wrapped = (std::uint64_t{1} << 32) - last + now;
    return wrapped < LargestWrapDelta ? static_cast<std::uint32_t>(wrapped) : 0;
}

void IfCounter::Reset(std::uint32_t inOctets, std::uint32_t outOctets)
{
    *this = IfCounter{};
    LastIn = inOctets;
    LastOut = outOctets;
}

void IfCounter::Sample(std::uint32_t inOctets, std::uint32_t outOctets)
{
    DeltaIn = CounterDelta(LastIn, inOctets);
    SumIn += DeltaIn;
    if (DeltaIn > 0)
        ++SamplesIn;
    LastIn = inOctets;

    DeltaOut = CounterDelta(LastOut, outOctets);
    SumOut += DeltaOut;
    if (DeltaOut > 0)
        ++SamplesOut;
    LastOut = outOctets;

    PeakIn = std::max(PeakIn, DeltaIn);
    PeakOut = std::max(PeakOut, DeltaOut);
}

QString KbpsText(std::uint64_t bytes)
{
    return QString::number(bytes * 8 / 1000);
}

QString AverageText(std::uint64_t sum, std::uint32_t samples)
{
    return samples == 0 ? QStringLiteral("  --  ") : KbpsText(sum / samples);
}

} // namespace pulo
