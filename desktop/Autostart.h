#pragma once

// Starting with the desktop: an entry in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart) that runs the installed program at log-in, as the desktops' session
// managers read it. The program itself honours "Startup hidden" when it starts.

#include <QString>

namespace pulo {

[[nodiscard]] QString AutostartPath();
[[nodiscard]] bool AutostartEnabled();
// Writes (whole, atomically) or removes the entry; false when that failed.
bool SetAutostart(bool enabled);

} // namespace pulo
