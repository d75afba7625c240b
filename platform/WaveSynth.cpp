#include "platform/WaveSynth.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace win {

namespace {

// Writes value little-endian at offset.
void PutLe(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutTag(std::vector<std::uint8_t>& out, std::size_t offset, const char* tag)
{
    for (std::size_t i = 0; i < 4; ++i)
        out[offset + i] = static_cast<std::uint8_t>(tag[i]);
}

// One tone's samples: a sine with a little of its octave for warmth, a 5 ms attack so nothing
// clicks, and either a bell's decay or a short release at the end.
void AddTone(std::vector<std::int16_t>& samples, const Tone& tone, int sampleRate)
{
    const auto count = static_cast<std::size_t>(tone.Seconds * sampleRate);
    const double attack = 0.005 * sampleRate;
    const double release = 0.02 * sampleRate;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        double envelope = std::min(1.0, static_cast<double>(i) / attack);
        if (tone.Ring)
            envelope *= std::exp(-4.0 * t / tone.Seconds);
        envelope *= std::min(1.0, static_cast<double>(count - i) / release);
        double value = 0;
        for (const double frequency : {tone.Frequency, tone.Frequency2}) {
            if (frequency <= 0)
                continue;
            const double phase = 2 * std::numbers::pi * frequency * t;
            value += std::sin(phase) + 0.25 * std::sin(2 * phase);
        }
        if (tone.Frequency2 > 0)
            value /= 2;
        value *= envelope * tone.Volume / 1.25;
        samples.push_back(static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767)));
    }
}

} // namespace

std::vector<std::uint8_t> SynthesizeWave(std::span<const Tone> tones, int sampleRate)
{
    std::vector<std::int16_t> samples;
    for (const Tone& tone : tones)
        AddTone(samples, tone, sampleRate);

    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
    std::vector<std::uint8_t> image(44 + std::size_t{dataBytes});
    PutTag(image, 0, "RIFF");
    PutLe(image, 4, 36 + dataBytes, 4);
    PutTag(image, 8, "WAVE");
    PutTag(image, 12, "fmt ");
    PutLe(image, 16, 16, 4);
    PutLe(image, 20, 1, 2); // PCM
    PutLe(image, 22, 1, 2); // mono
    PutLe(image, 24, static_cast<std::uint32_t>(sampleRate), 4);
    PutLe(image, 28, static_cast<std::uint32_t>(sampleRate) * 2, 4);
    PutLe(image, 32, 2, 2);
    PutLe(image, 34, 16, 2);
    PutTag(image, 36, "data");
    PutLe(image, 40, dataBytes, 4);
    for (std::size_t i = 0; i < samples.size(); ++i)
        PutLe(image, 44 + 2 * i, static_cast<std::uint16_t>(samples[i]), 2);
    return image;
}

const std::vector<std::uint8_t>& FallbackSound()
{
    static const std::vector<std::uint8_t> image = [] {
        const Tone tones[] = {{784, 0, 0.12, 0.45, true}, {523.25, 0, 0.25, 0.45, true}};
        return SynthesizeWave(tones);
    }();
    return image;
}

} // namespace win
