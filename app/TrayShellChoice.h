#pragma once

// Which notification-area icon the program uses on this desktop.

#include "widgets/TrayShell.h"

#include <memory>

namespace pulo {

// The program's own X11 tray icon where Qt's would embed in an X11 tray (no StatusNotifierItem
// host on the session bus); Qt's everywhere else, or when PULOPRO_TRAY=qt asks for it.
[[nodiscard]] std::unique_ptr<ITrayShell> MakeDesktopTrayShell();

} // namespace pulo
