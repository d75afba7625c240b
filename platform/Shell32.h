#pragma once

// shell32 and user32 values of the notification area (tray) icon: the notification record in
// its oldest size, its messages and flags, and the mouse messages the shell passes on. Window
// and icon handles are 32-bit values in this record, as in that size.

#include "platform/Win32.h"

namespace win {

using HWND32 = DWORD;
using HICON32 = DWORD;

struct NOTIFYICONDATAA
{
    DWORD cbSize;
    HWND32 hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON32 hIcon;
    CHAR szTip[64];
};
static_assert(sizeof(NOTIFYICONDATAA) == 88);

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;

constexpr UINT NIF_MESSAGE = 1;
constexpr UINT NIF_ICON = 2;
constexpr UINT NIF_TIP = 4;

constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;

// ShellExecuteA: opens the file or address with the desktop's program for it. Returns a value
// above 32 when that program could be started, else an error code (2: nothing to open it with).
using HINSTANCE = HMODULE;
constexpr int SW_SHOWNORMAL = 1;
HINSTANCE ShellExecuteA(DWORD window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show);

} // namespace win
