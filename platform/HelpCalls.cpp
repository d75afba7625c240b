// The help viewer calls, served by the installed backend's help service.

#include "platform/Backend.h"
#include "platform/HtmlHelp.h"

namespace win {

HWND32 HtmlHelpA(HWND32 caller, LPCSTR file, UINT command, DWORD_PTR data)
{
    IHelpService* help = InstalledBackend().Help.get();
    return help != nullptr ? help->HtmlHelp(caller, file, command, data) : 0;
}

BOOL WinHelpA(HWND32 window, LPCSTR helpFile, UINT command, DWORD_PTR data)
{
    IHelpService* help = InstalledBackend().Help.get();
    return help != nullptr ? help->WinHelp(window, helpFile, command, data) : FALSE_RESULT;
}

void RegisterHelpModule(ModuleRegistry& modules)
{
    modules.Register("HHCTRL.OCX", {{"HtmlHelpA", reinterpret_cast<FARPROC>(&HtmlHelpA)}});
}

} // namespace win
