#pragma once

// The program's colours (0x00BBGGRR) on Qt's labels.

#include "common/Colors.h"

#include <QColor>

class QLabel;

namespace pulo {

[[nodiscard]] QColor ToQColor(TColor color);
void SetFontColor(QLabel* label, TColor color);

} // namespace pulo
