#pragma once

// The notification-area icon on an X11 tray that embeds icons (the freedesktop system tray
// protocol), drawn by the program itself on a connection of its own: each image is sent to the
// X server once, as a picture of its own, and showing it is then two requests with no answer
// awaited (clear the icon's window to the tray's background, composite the picture over it).
// The animation's frames cost the program almost nothing that way, where a widget repaint per
// frame (Qt's tray icon) costs a paint, an image upload and a round trip.
//
// Made only where Qt's own tray icon would embed too (an X11 session without a
// StatusNotifierItem host); elsewhere the program keeps Qt's.

#include "widgets/TrayShell.h"

#include <memory>

namespace pulo {

// The shell, or null when the display is not X11, has no such tray protocol here, or cannot be
// reached.
[[nodiscard]] std::unique_ptr<ITrayShell> MakeXEmbedTrayShell();

} // namespace pulo
