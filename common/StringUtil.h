#pragma once

// Small helpers for the clock texts of the window and the log.

#include <QString>

namespace pulo {

// The integral part of x, truncated toward zero.
[[nodiscard]] double IntPart(double x);
// The same value as IntPart; used for the hours and minutes of a seconds total.
[[nodiscard]] double WholePart(double x);
// s with each leading blank replaced by "0", up to the first other character: " 5:" gives "05:".
[[nodiscard]] QString ZeroPad(const QString& s);

} // namespace pulo
