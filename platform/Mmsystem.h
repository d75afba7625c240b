#pragma once

// winmm: playing a wave sound. Flags and the call as documented for PlaySoundA.

#include "platform/Win32.h"

namespace win {

constexpr DWORD SND_SYNC = 0x0000;
constexpr DWORD SND_ASYNC = 0x0001;
constexpr DWORD SND_NODEFAULT = 0x0002;
constexpr DWORD SND_MEMORY = 0x0004;
constexpr DWORD SND_LOOP = 0x0008;
constexpr DWORD SND_NOSTOP = 0x0010;
constexpr DWORD SND_FILENAME = 0x00020000;
constexpr DWORD SND_RESOURCE = 0x00040004;

// Plays the wave named by sound: a file name (SND_FILENAME), one of the program's own sounds
// by name (SND_RESOURCE; module must be null) or a whole wave file image in memory
// (SND_MEMORY). A null sound stops what is playing. Without SND_ASYNC the call returns when the
// sound has finished. A sound that cannot be found or decoded plays the default sound unless
// SND_NODEFAULT is given. Returns 0 when nothing could be played (no audio device, SND_LOOP
// without SND_ASYNC, a module handle given).
BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);

// Where the sound argument of PlaySoundA points. SND_RESOURCE shares its low bit with
// SND_MEMORY, so it is told apart first.
enum class SoundSource
{
    File,
    Resource,
    Memory,
};

[[nodiscard]] constexpr SoundSource SoundSourceOf(DWORD flags)
{
    if ((flags & SND_RESOURCE) == SND_RESOURCE)
        return SoundSource::Resource;
    if ((flags & SND_MEMORY) != 0)
        return SoundSource::Memory;
    return SoundSource::File;
}

// The rule every backend shares: SND_LOOP only plays in the background, and only the
// program's own module (null) holds sounds.
[[nodiscard]] constexpr bool SoundRequestValid(HMODULE module, DWORD flags)
{
    return module == nullptr && !((flags & SND_LOOP) != 0 && (flags & SND_ASYNC) == 0);
}

} // namespace win
