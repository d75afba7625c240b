// Writes the program's five default sounds into the folder given: a rising chime at connect,
// a falling one at disconnect, dial pips, a soft online reminder and a two-tone alarm. Each is
// short, since the program plays its sounds while the window waits.

#include "platform/WaveSynth.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Sound
{
    const char* Name;
    std::vector<win::Tone> Tones;
};

bool Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& image)
{
    const std::filesystem::path temporary = path.string() + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        file.close();
        if (!file)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-sounds FOLDER\n");
        return 2;
    }
    // Notes of C major: C5 523.25, E5 659.26, G5 783.99, C6 1046.5; A5 880.
    const Sound sounds[] = {
        {"DefaultCon.wav",
         {{523.25, 0, 0.11, 0.5}, {659.26, 0, 0.11, 0.5}, {783.99, 0, 0.11, 0.5}, {1046.5, 0, 0.45, 0.5, true}}},
        {"DefaultDiscon.wav",
         {{1046.5, 0, 0.11, 0.5}, {783.99, 0, 0.11, 0.5}, {659.26, 0, 0.11, 0.5}, {523.25, 0, 0.45, 0.5, true}}},
        {"Dialing.wav",
         {{697, 1209, 0.09, 0.4},
          {0, 0, 0.05},
          {770, 1336, 0.09, 0.4},
          {0, 0, 0.05},
          {852, 1477, 0.09, 0.4},
          {0, 0, 0.05},
          {941, 1336, 0.09, 0.4}}},
        {"Online.wav", {{880, 1318.5, 0.6, 0.35, true}}},
        {"Maximum.wav",
         {{988, 0, 0.14, 0.6},
          {740, 0, 0.14, 0.6},
          {988, 0, 0.14, 0.6},
          {740, 0, 0.14, 0.6},
          {988, 0, 0.14, 0.6},
          {740, 0, 0.14, 0.6}}},
    };
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const Sound& sound : sounds) {
        if (!Write(folder / sound.Name, win::SynthesizeWave(sound.Tones))) {
            std::fprintf(stderr, "make-sounds: cannot write %s\n", (folder / sound.Name).c_str());
            return 1;
        }
    }
    return 0;
}
