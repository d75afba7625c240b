// The winmm call, served by the installed backend.

#include "platform/Backend.h"
#include "platform/Mmsystem.h"

namespace win {

BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags)
{
    ISoundService* service = InstalledBackend().Sound.get();
    return service != nullptr ? service->Play(sound, module, flags) : FALSE_RESULT;
}

} // namespace win
