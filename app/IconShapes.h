#pragma once

// The shapes of the program's two icons, drawn with the painter's own paths rather than from an
// SVG file, so that a start need not load an SVG renderer for two small pictures. They are the
// shapes of the program's icon as installed for the desktop (data/pulopro.svg) and of the tray
// icon; the tests hold each drawing against its SVG picture.

#include <QColor>

class QPainter;

namespace pulo {

// The tray icon in a 32 × 32 square: the globe with the down arrow (received) at its left and the
// up arrow (sent) at its right, in the colours given.
void DrawTrayIcon(QPainter& painter, const QColor& down, const QColor& up);
inline constexpr int TrayIconSide = 32;

// The program's icon in a 256 × 256 square.
void DrawWindowIcon(QPainter& painter);
inline constexpr int WindowIconSide = 256;

} // namespace pulo
