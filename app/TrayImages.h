#pragma once

// The program's icons drawn from their vector sources at every size a panel or a title bar asks
// for, at 1× and 2× device pixels (and the screen's own ratio): sharp on any screen, and drawn
// once at start, so that showing a frame of the tray animation draws nothing.

#include <QColor>
#include <QIcon>

namespace pulo {

// The tray icon with its arrows in these colours (received: down, sent: up).
[[nodiscard]] QIcon TrayImage(const QColor& down, const QColor& up);
// The window's icon.
[[nodiscard]] QIcon WindowImage();

inline const QColor ArrowAtRest(0x70, 0x70, 0x70);
inline const QColor SentLit(0x00, 0xe0, 0x00);
inline const QColor ReceivedLit(0xff, 0xe0, 0x00);

} // namespace pulo
