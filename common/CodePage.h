#pragma once

// Windows code page 1252, the 8-bit text of the connection log: the bullet (0x95) and the em
// dash (0x97) among its bytes above 127.

#include <QString>

#include <optional>

namespace pulo {

// The character a byte stands for (bytes the code page leaves unassigned stand for themselves).
[[nodiscard]] QChar FromCp1252(unsigned char byte);
// The byte of a character, or none when the code page has no byte for it.
[[nodiscard]] std::optional<unsigned char> ToCp1252(QChar character);

} // namespace pulo
