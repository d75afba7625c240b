#include "common/SpeedCounter.h"

#include <algorithm>

namespace pulo {

std::uint64_t CounterDelta(std::uint64_t last, std::uint64_t now)
{
    return now >= last ? now - last : 0;
}

void IfCounter::Reset(std::uint64_t inOctets, std::uint64_t outOctets)
{
    *this = IfCounter{};
    LastIn = inOctets;
    LastOut = outOctets;
}

void IfCounter::Sample(std::uint64_t inOctets, std::uint64_t outOctets)
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

namespace {

std::int64_t Kbps(std::uint64_t bytes)
{
    return static_cast<std::int64_t>(bytes * 8 / 1000);
}

std::int64_t AverageKbps(std::uint64_t sum, std::uint32_t samples)
{
    return samples == 0 ? -1 : Kbps(sum / samples);
}

} // namespace

IfFigures FiguresOf(const IfCounter& counter)
{
    return {Kbps(counter.DeltaIn),  Kbps(counter.PeakIn),  AverageKbps(counter.SumIn, counter.SamplesIn),
            Kbps(counter.DeltaOut), Kbps(counter.PeakOut), AverageKbps(counter.SumOut, counter.SamplesOut)};
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
