#pragma once

// The program's icons drawn from their vector sources at the size a panel, a title bar or a
// notification asks for, in device pixels: sharp on any screen. Each size is drawn the first time
// it is asked for and kept, so that showing a frame of the tray animation again draws nothing, and
// no size nobody shows is ever drawn or held in memory.

#include <QColor>
#include <QIcon>

namespace pulo {

// The tray icon with its arrows in these colours (received: down, sent: up); past the download
// limit, with a red mark in its free corner, so that a glance at the panel shows it.
[[nodiscard]] QIcon TrayImage(const QColor& down, const QColor& up, bool pastLimit = false);
// The window's icon.
[[nodiscard]] QIcon WindowImage();

inline const QColor ArrowAtRest(0x70, 0x70, 0x70);
inline const QColor SentLit(0x00, 0xe0, 0x00);
inline const QColor ReceivedLit(0xff, 0xe0, 0x00);
inline const QColor PastLimitMark(0xe0, 0x00, 0x00);

} // namespace pulo
