#pragma once

// Numbers as text, as the user reads them in the window and as the settings file stores them.

#include <QString>

#include <cstdint>
#include <optional>

namespace pulo {

// The general format: the shortest decimal form with up to 15 significant digits and the
// user's decimal separator; 2.5 gives "2.5", 3 gives "3", 1e15 gives "1E15", 1.5e-7 "1.5E-7".
[[nodiscard]] QString FloatToStr(double value);

// A real written by FloatToStr under the current decimal separator (blanks around it allowed);
// nothing when the text is not such a number, or is out of range.
[[nodiscard]] std::optional<double> TryStrToFloat(const QString& text);

// A signed 32-bit integer in decimal, or in hexadecimal after "$" or "0x" (hexadecimal of up to
// eight digits wraps into the signed range, as FFFFFFFF gives -1); fallback otherwise.
[[nodiscard]] std::int32_t StrToIntDef(const QString& text, std::int32_t fallback);

} // namespace pulo
