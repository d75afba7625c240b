#include "platform/posix/PosixSound.h"

#include "platform/Mmsystem.h"
#include "platform/RegularFile.h"
#include "platform/WaveSynth.h"
#include "platform/posix/SdlLibrary.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace win::posix {

namespace {

namespace fs = std::filesystem;

// A wave file larger than this is not a sound anyone means to hear at a connection change.
constexpr std::size_t MaxWaveBytes = 64u * 1024 * 1024;

// A decoded sound, as SDL returns it.
struct Clip final
{
    SDL_AudioSpec Format{};
    Uint8* Samples = nullptr;
    Uint32 Length = 0;

    Clip() = default;
    Clip(const Clip&) = delete;
    Clip& operator=(const Clip&) = delete;
    Clip(Clip&& other) noexcept : Format(other.Format), Samples(other.Samples), Length(other.Length)
    {
        other.Samples = nullptr;
    }
    ~Clip()
    {
        if (Samples != nullptr)
            Sdl()->FreeWAV(Samples);
    }
};

// Sample rates a real sound has; a header claiming another (16 Hz, 1 GHz) is malformed.
constexpr int LowestRate = 1000;
constexpr int HighestRate = 384000;
// No connection sound needs longer; a longer one is cut here.
constexpr Uint32 LongestSeconds = 60;

// Decodes a whole wave file image: PCM, IEEE float, MS and IMA ADPCM, mu-law and A-law.
bool Decode(const void* image, std::size_t size, Clip& clip)
{
    if (image == nullptr || size < 12 || size > MaxWaveBytes)
        return false;
    SDL_RWops* stream = Sdl()->RWFromConstMem(image, static_cast<int>(size));
    if (stream == nullptr)
        return false;
    if (Sdl()->LoadWAV_RW(stream, 1, &clip.Format, &clip.Samples, &clip.Length) == nullptr || clip.Length == 0)
        return false;
    if (clip.Format.freq < LowestRate || clip.Format.freq > HighestRate || clip.Format.channels == 0) {
        // Refused after all: the samples go now, before the default sound is decoded in their place.
        Sdl()->FreeWAV(clip.Samples);
        clip.Samples = nullptr;
        return false;
    }
    const Uint32 frameBytes = SDL_AUDIO_BITSIZE(clip.Format.format) / 8 * clip.Format.channels;
    const Uint64 longest = Uint64{LongestSeconds} * static_cast<Uint32>(clip.Format.freq) * frameBytes;
    if (clip.Length > longest)
        clip.Length = static_cast<Uint32>(longest);
    return true;
}

bool ReadFile(const fs::path& path, std::vector<char>& bytes)
{
    const FileRead read = ReadRegularFile(path.string(), MaxWaveBytes);
    if (read.Error != ERROR_SUCCESS)
        return false;
    bytes.assign(read.Bytes.begin(), read.Bytes.end());
    return true;
}

// The folders a relative sound name is looked for in: the current folder (files only), then
// beside the executable, then the installed data folder.
std::vector<fs::path> SearchFolders(SoundSource source)
{
    std::vector<fs::path> folders;
    if (source == SoundSource::File)
        folders.emplace_back(".");
    const fs::path executable = InstalledBackend().System->ModuleFileName();
    if (executable.has_parent_path()) {
        folders.push_back(executable.parent_path());
        folders.push_back(executable.parent_path() / ".." / "share" / "pulopro");
    }
    return folders;
}

bool LoadNamed(const char* name, SoundSource source, Clip& clip)
{
    fs::path path(name);
    if (path.empty())
        return false;
    if (source == SoundSource::Resource && !path.has_extension())
        path += ".wav";
    std::vector<char> bytes;
    if (path.is_absolute() && source == SoundSource::File)
        return ReadFile(path, bytes) && Decode(bytes.data(), bytes.size(), clip);
    if (source == SoundSource::Resource && path.has_parent_path())
        return false; // the program's own sounds have plain names
    for (const fs::path& folder : SearchFolders(source)) {
        if (ReadFile(folder / path, bytes))
            return Decode(bytes.data(), bytes.size(), clip);
    }
    return false;
}

// A wave image in memory carries its own length in the RIFF header.
bool LoadImage(const void* image, Clip& clip)
{
    if (image == nullptr)
        return false;
    const auto* bytes = static_cast<const unsigned char*>(image);
    if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return false;
    const std::uint32_t length =
        bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (static_cast<std::uint32_t>(bytes[7]) << 24);
    return Decode(image, std::size_t{length} + 8, clip);
}

class PosixSound final : public ISoundService
{
public:
    PosixSound() = default;
    PosixSound(const PosixSound&) = delete;
    PosixSound& operator=(const PosixSound&) = delete;
    ~PosixSound() override { Stop(); }

    BOOL Play(LPCSTR sound, HMODULE module, DWORD flags) override
    {
        const std::lock_guard lock(Calls);
        if (!SoundRequestValid(module, flags))
            return FALSE_RESULT;
        // A new sound replaces the one still playing; a null sound only stops it.
        Stop();
        if (sound == nullptr)
            return TRUE_RESULT;
        if (Sdl() == nullptr)
            return FALSE_RESULT; // no sound library: no sound, as without a device

        Clip clip;
        const SoundSource source = SoundSourceOf(flags);
        const bool loaded = source == SoundSource::Memory ? LoadImage(sound, clip) : LoadNamed(sound, source, clip);
        if (!loaded) {
            if ((flags & SND_NODEFAULT) != 0)
                return FALSE_RESULT;
            const std::vector<std::uint8_t>& fallback = FallbackSound();
            if (!Decode(fallback.data(), fallback.size(), clip))
                return FALSE_RESULT;
        }

        if (Sdl()->InitSubSystem(SDL_INIT_AUDIO) != 0)
            return FALSE_RESULT;
        SDL_AudioSpec obtained{};
        SDL_AudioSpec wanted = clip.Format;
        wanted.callback = nullptr;
        // A buffer of about 25 ms: the end of a sound is heard soon after its last sample.
        wanted.samples = 256;
        while (wanted.samples < 4096 && wanted.samples * 2 <= wanted.freq / 40)
            wanted.samples = static_cast<Uint16>(wanted.samples * 2);
        // No changes allowed: SDL converts from the sound's own format to the device's.
        const SDL_AudioDeviceID device = Sdl()->OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device == 0) {
            Sdl()->QuitSubSystem(SDL_INIT_AUDIO);
            return FALSE_RESULT;
        }
        const bool loop = (flags & SND_LOOP) != 0;
        if (Sdl()->QueueAudio(device, clip.Samples, clip.Length) != 0) {
            Close(device);
            return FALSE_RESULT;
        }
        Sdl()->PauseAudioDevice(device, 0);
        StopRequested = false;
        if ((flags & SND_ASYNC) != 0) {
            Worker = std::thread([this, device, loop, moved = std::move(clip), obtained]() mutable {
                Drain(device, moved, loop, obtained);
            });
        } else {
            Drain(device, clip, false, obtained);
        }
        return TRUE_RESULT;
    }

private:
    // Waits until the queued sound has been heard (or another sound takes over), feeding a
    // looping sound again as it runs low, then gives the device back.
    void Drain(SDL_AudioDeviceID device, const Clip& clip, bool loop, const SDL_AudioSpec& obtained)
    {
        while (!StopRequested) {
            const Uint32 queued = Sdl()->GetQueuedAudioSize(device);
            if (loop && queued < clip.Length / 2 + 1) {
                if (Sdl()->QueueAudio(device, clip.Samples, clip.Length) != 0)
                    break;
                continue;
            }
            if (queued == 0)
                break;
            Sdl()->Delay(5);
        }
        if (!StopRequested && obtained.freq > 0) {
            // What the device took last is still in its buffer.
            Sdl()->Delay(static_cast<Uint32>(obtained.samples * 1000 / obtained.freq) + 10);
        }
        Close(device);
    }

    static void Close(SDL_AudioDeviceID device)
    {
        Sdl()->CloseAudioDevice(device);
        Sdl()->QuitSubSystem(SDL_INIT_AUDIO);
    }

    void Stop()
    {
        StopRequested = true;
        if (Worker.joinable())
            Worker.join();
    }

    std::mutex Calls;
    std::thread Worker;
    std::atomic<bool> StopRequested = false;
};

} // namespace

std::unique_ptr<ISoundService> MakePosixSound()
{
    return std::make_unique<PosixSound>();
}

} // namespace win::posix
