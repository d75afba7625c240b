#include "platform/posix/SdlLibrary.h"

#include <dlfcn.h>

namespace win::posix {

namespace {

template <typename Function> bool Resolve(void* library, const char* name, Function& target)
{
    target = reinterpret_cast<Function>(dlsym(library, name));
    return target != nullptr;
}

const SdlLibrary* Load()
{
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return nullptr;
    static SdlLibrary sdl;
    const bool complete =
        Resolve(library, "SDL_RWFromConstMem", sdl.RWFromConstMem) &&
        Resolve(library, "SDL_LoadWAV_RW", sdl.LoadWAV_RW) && Resolve(library, "SDL_FreeWAV", sdl.FreeWAV) &&
        Resolve(library, "SDL_InitSubSystem", sdl.InitSubSystem) &&
        Resolve(library, "SDL_QuitSubSystem", sdl.QuitSubSystem) &&
        Resolve(library, "SDL_OpenAudioDevice", sdl.OpenAudioDevice) &&
        Resolve(library, "SDL_CloseAudioDevice", sdl.CloseAudioDevice) &&
        Resolve(library, "SDL_QueueAudio", sdl.QueueAudio) &&
        Resolve(library, "SDL_GetQueuedAudioSize", sdl.GetQueuedAudioSize) &&
        Resolve(library, "SDL_PauseAudioDevice", sdl.PauseAudioDevice) && Resolve(library, "SDL_Delay", sdl.Delay);
    // The library stays loaded for the program's life: sounds may still be playing at its end.
    return complete ? &sdl : nullptr;
}

} // namespace

const SdlLibrary* Sdl()
{
    static const SdlLibrary* const loaded = Load();
    return loaded;
}

} // namespace win::posix
