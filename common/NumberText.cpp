#include "common/NumberText.h"

#include "common/FormatSettings.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace pulo {

QString FloatToStr(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");

    // Fifteen significant digits and the decimal exponent: "-d.dddddddddddddde+XX".
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.14e", value);
    std::string text(scientific);
    const bool negative = text.front() == '-';
    if (negative)
        text.erase(0, 1);
    const std::size_t e = text.find('e');
    const int exponent = std::stoi(text.substr(e + 1));
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const char separator = CurrentFormat().DecimalSeparator;
    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1)
            out.append(1, separator).append(digits, 1);
        out += 'E' + std::to_string(exponent);
    } else if (exponent >= 0) {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits + std::string(whole - digits.size(), '0');
        } else {
            out.append(digits, 0, whole).append(1, separator).append(digits, whole);
        }
    } else {
        out.append("0").append(1, separator).append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
    }
    return QString::fromLatin1(out);
}

std::optional<double> TryStrToFloat(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char separator = CurrentFormat().DecimalSeparator;
    std::string plain;
    plain.reserve(static_cast<std::size_t>(bytes.size()));
    std::size_t at = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    auto digitsFrom = [&](std::size_t from) {
        std::size_t to = from;
        while (to < size && bytes[static_cast<qsizetype>(to)] >= '0' && bytes[static_cast<qsizetype>(to)] <= '9')
            plain += bytes[static_cast<qsizetype>(to++)];
        return to - from;
    };
    if (at < size && (bytes[0] == '-' || bytes[0] == '+')) {
        if (bytes[0] == '-')
            plain += '-';
        ++at;
    }
    std::size_t mantissaDigits = digitsFrom(at);
    at += mantissaDigits;
    if (at < size && bytes[static_cast<qsizetype>(at)] == separator) {
        plain += '.';
        const std::size_t fraction = digitsFrom(++at);
        at += fraction;
        mantissaDigits += fraction;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (at < size && (bytes[static_cast<qsizetype>(at)] == 'E' || bytes[static_cast<qsizetype>(at)] == 'e')) {
        plain += 'e';
        ++at;
        if (at < size && (bytes[static_cast<qsizetype>(at)] == '-' || bytes[static_cast<qsizetype>(at)] == '+'))
            plain += bytes[static_cast<qsizetype>(at++)];
        const std::size_t exponentDigits = digitsFrom(at);
        if (exponentDigits == 0)
            return std::nullopt;
        at += exponentDigits;
    }
    if (at != size)
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::int32_t StrToIntDef(const QString& text, std::int32_t fallback)
{
    const QByteArray bytes = text.toLatin1();
    std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const bool zeroX = view.size() > 2 && view[0] == '0' && (view[1] == 'x' || view[1] == 'X');
    const bool dollar = !view.empty() && view[0] == '$';
    if (zeroX || dollar) {
        const std::string_view hex = view.substr(zeroX ? 2 : 1);
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
        if (hex.empty() || error != std::errc() || end != hex.data() + hex.size() || value > 0xFFFFFFFFULL)
            return fallback;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    if (!view.empty() && view[0] == '+') {
        view.remove_prefix(1);
        if (!view.empty() && view[0] == '-')
            return fallback;
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value, 10);
    if (view.empty() || error != std::errc() || end != view.data() + view.size())
        return fallback;
    return value;
}

} // namespace pulo
