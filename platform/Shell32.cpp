// The shell32 call, served by the installed backend's shell service.

#include "platform/Shell32.h"

#include "platform/Backend.h"

#include <cstdint>

namespace win {

HINSTANCE ShellExecuteA(
    DWORD /*window*/, LPCSTR /*operation*/, LPCSTR file, LPCSTR /*parameters*/, LPCSTR /*directory*/, int /*show*/)
{
    IShellService* shell = InstalledBackend().Shell.get();
    const bool opened = shell != nullptr && file != nullptr && shell->Open(file);
    return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(opened ? 42 : ERROR_FILE_NOT_FOUND));
}

} // namespace win
