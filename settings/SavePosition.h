#pragma once

// A window's place between runs, in a section of the settings file: "Left", "Top", "Right"
// and "Bottom" of its normal-state rectangle, in screen pixels.

class QWidget;

namespace pulo {

// Writes the window's normal-state rectangle (the place it would be restored to, even while
// minimised or hidden in the tray). Raises PuloError when the settings file cannot be written.
void SaveWindowPosition(const QWidget& window, const char* section);
// Moves and sizes the window as stored; a missing or malformed key keeps the window's own
// value. The window then lies wholly on a screen's available area (the one it is mostly on, else
// the primary one), made smaller where it would not fit.
void RestoreWindowPosition(QWidget& window, const char* section);

} // namespace pulo
