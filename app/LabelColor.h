#pragma once

// The program's colours (0x00BBGGRR) on Qt's labels.

#include "common/Colors.h"

#include <QColor>

class QLabel;

namespace pulo {

[[nodiscard]] QColor ToQColor(TColor color);
// The colour as it can be read on the background: itself where it stands out enough (a contrast
// of at least 3:1, the least for large or bold text and for warnings), else darkened on a light
// background or lightened on a dark one, its hue kept, just as far as that takes.
[[nodiscard]] QColor ReadableOn(const QColor& color, const QColor& background);
// A figure's colour: black is the desktop's own text colour; a warning colour is made readable
// on the label's background (pure yellow cannot be read on a light window).
void SetFontColor(QLabel* label, TColor color);

} // namespace pulo
