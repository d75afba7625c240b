#pragma once

// Small sounds made from tones: the program's default sounds and the fallback played when a
// wave file cannot be used. The result is a complete wave file image (16-bit mono PCM).

#include <cstdint>
#include <span>
#include <vector>

namespace win {

struct Tone final
{
    double Frequency = 0;  // Hz; 0 is a pause
    double Frequency2 = 0; // a second tone sounded with the first (0: none)
    double Seconds = 0;
    double Volume = 0.5; // 0 to 1
    bool Ring = false;   // fades out like a struck bell instead of holding steady
};

[[nodiscard]] std::vector<std::uint8_t> SynthesizeWave(std::span<const Tone> tones, int sampleRate = 22050);

// The sound played when the one asked for cannot be found or decoded: a short soft two-note chime.
[[nodiscard]] const std::vector<std::uint8_t>& FallbackSound();

} // namespace win
