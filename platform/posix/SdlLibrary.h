#pragma once

// SDL2, loaded when the first sound plays rather than when the program starts: a user who never
// hears a sound never maps it, nor the audio libraries it brings with it (ALSA, PulseAudio...).

#include <SDL.h>

namespace win::posix {

struct SdlLibrary final
{
    decltype(&::SDL_RWFromConstMem) RWFromConstMem = nullptr;
    decltype(&::SDL_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&::SDL_FreeWAV) FreeWAV = nullptr;
    decltype(&::SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&::SDL_QueueAudio) QueueAudio = nullptr;
    decltype(&::SDL_GetQueuedAudioSize) GetQueuedAudioSize = nullptr;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&::SDL_Delay) Delay = nullptr;
};

// The library's entry points, loaded by the first call (from any thread); null when SDL2 or one
// of these calls is not there, and then for good.
[[nodiscard]] const SdlLibrary* Sdl();

} // namespace win::posix
