#pragma once

// The help viewers: the HTML Help viewer's entry point, offered for run-time loading as
// "HHCTRL.OCX" where a help viewer is installed, and WinHelpA (user32).

#include "platform/Win32.h"

#include <cstdint>

namespace win {

class ModuleRegistry;

using HWND32 = DWORD;
using DWORD_PTR = std::uintptr_t;

constexpr UINT HH_DISPLAY_TOPIC = 0;
constexpr UINT HH_DISPLAY_TOC = 1;
constexpr UINT HH_DISPLAY_INDEX = 2;
constexpr UINT HH_HELP_CONTEXT = 15;
constexpr UINT HH_CLOSE_ALL = 18;

constexpr UINT HELP_CONTEXT = 1;
constexpr UINT HELP_QUIT = 2;
constexpr UINT HELP_CONTENTS = 3;
constexpr UINT HELP_CONTEXTPOPUP = 8;
constexpr UINT HELP_FINDER = 11;
constexpr UINT HELP_SETPOPUP_POS = 13;
constexpr UINT HELP_KEY = 257;
constexpr UINT HELP_COMMAND = 258;

// Shows the help file (a .chm, or "file.chm::/topic.htm") as the command says; returns the
// viewer's window, 0 when nothing could be shown.
using HtmlHelpFunction = HWND32 (*)(HWND32 caller, LPCSTR file, UINT command, DWORD_PTR data);
HWND32 HtmlHelpA(HWND32 caller, LPCSTR file, UINT command, DWORD_PTR data);
// The old help viewer: none on this system; returns 0.
BOOL WinHelpA(HWND32 window, LPCSTR helpFile, UINT command, DWORD_PTR data);

// Offers HtmlHelpA as "HHCTRL.OCX".
void RegisterHelpModule(ModuleRegistry& modules);

} // namespace win
