#include "common/CodePage.h"

#include <array>

namespace pulo {

namespace {

// 0x80 to 0x9F; 0 where the code page assigns nothing.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

QChar FromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0 && High[byte - 0x80] != 0)
        return QChar(High[byte - 0x80]);
    return QChar(byte);
}

std::optional<unsigned char> ToCp1252(QChar character)
{
    const char16_t code = character.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return static_cast<unsigned char>(code);
    for (std::size_t i = 0; i < High.size(); ++i)
        if (High[i] == code)
            return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

} // namespace pulo
