#pragma once

// Small helpers for the clock texts of the window and the log.

#include <QString>

#include <cstddef>

namespace pulo {

// The integral part of x, truncated toward zero.
[[nodiscard]] double IntPart(double x);
// The same value as IntPart; used for the hours and minutes of a seconds total.
[[nodiscard]] double WholePart(double x);
// The text of a fixed-size character field of a system record, up to its first NUL (all of it
// when it has none), in the local 8-bit encoding.
template <std::size_t N> [[nodiscard]] QString FixedText(const char (&field)[N])
{
    std::size_t length = 0;
    while (length < N && field[length] != '\0')
        ++length;
    return QString::fromLocal8Bit(field, static_cast<qsizetype>(length));
}

// s with each leading blank replaced by "0", up to the first other character: " 5:" gives "05:".
[[nodiscard]] QString ZeroPad(const QString& s);

} // namespace pulo
