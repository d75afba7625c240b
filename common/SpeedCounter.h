#pragma once

// The speed monitor's figures for one interface: bytes in the latest one-second sample, the
// peak and the average over the samples that carried traffic, in each direction. kbps are
// bytes x 8 div 1000.

#include <QString>

#include <array>
#include <cstdint>

namespace pulo {

struct IfCounter final
{
    std::uint32_t SamplesIn = 0;
    std::uint32_t SamplesOut = 0;
    std::uint64_t LastIn = 0;
    std::uint64_t LastOut = 0;
    std::uint64_t SumIn = 0;
    std::uint64_t SumOut = 0;
    std::uint64_t DeltaIn = 0;
    std::uint64_t DeltaOut = 0;
    std::uint64_t PeakIn = 0;
    std::uint64_t PeakOut = 0;

    // Starts counting afresh from the interface's present counters.
    void Reset(std::uint64_t inOctets, std::uint64_t outOctets);
    // Takes one sample of the interface's counters.
    void Sample(std::uint64_t inOctets, std::uint64_t outOctets);
};

// Bytes in one direction since the last sample. The counters are 64 bits and never wrap: a
// counter below the last one was reset, as when an interface restarts or a redial reuses its
// name, and no traffic is counted then rather than a phantom of gigabytes.
[[nodiscard]] std::uint64_t CounterDelta(std::uint64_t last, std::uint64_t now);

// The six figures of an interface as the grid shows them (kbps in, peak in, average in, and
// the same out; an average before the first sample with traffic is -1): when they are the same
// as last time, so are the texts.
using IfFigures = std::array<std::int64_t, 6>;
[[nodiscard]] IfFigures FiguresOf(const IfCounter& counter);

// The figure texts of the speed monitor.
[[nodiscard]] QString KbpsText(std::uint64_t bytes);
// The average in kbps, or "  --  " before the first sample with traffic.
[[nodiscard]] QString AverageText(std::uint64_t sum, std::uint32_t samples);

} // namespace pulo
