#include "common/AmountText.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace pulo {

TUsageUnit UnitFor(std::int64_t largest)
{
    if (largest > 1'000'000'000'000)
        return {QStringLiteral("TB"), 1e12};
    return largest > 1'000'000'000 ? TUsageUnit{QStringLiteral("GB"), 1e9} : TUsageUnit{QStringLiteral("MB"), 1e6};
}

namespace {

// Three significant figures (and a thousandth's place among small ones), or more places.
QString InUnit(std::int64_t bytes, const TUsageUnit& unit, int morePlaces)
{
    const double value = static_cast<double>(bytes) / unit.Bytes;
    const int decimals = (value >= 100 ? 0 : value >= 10 ? 1 : value >= 1 || value == 0 ? 2 : 3) + morePlaces;
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + unit.Name;
}

} // namespace

QString InUnit(std::int64_t bytes, const TUsageUnit& unit)
{
    return InUnit(bytes, unit, 0);
}

QString OfLimit(std::int64_t bytes, std::int64_t limit)
{
    const TUsageUnit unit = UnitFor(std::max(bytes, limit));
    // A figure just past (or short of) its limit shows the places that tell them apart: "past the
    // limit: 1.83 GB of 1.83 GB" would say neither.
    for (int more = 0;; ++more) {
        const QString figure = InUnit(bytes, unit, more);
        const QString of = InUnit(limit, unit, more);
        if (figure != of || bytes == limit || more == 6)
            return figure + QStringLiteral(" of ") + InUnit(limit, unit, more);
    }
}

std::optional<std::int64_t> AmountBytes(const QString& text)
{
    static const QRegularExpression amount(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]*)?(?:[eE][+-]?[0-9]+)?)\\s*([kMGT]?)B\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = amount.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double number = match.captured(1).toDouble(&ok);
    const QString prefix = match.captured(2).toUpper();
    const double scale = prefix.isEmpty()               ? 1
                         : prefix == QLatin1String("K") ? 1e3
                         : prefix == QLatin1String("M") ? 1e6
                         : prefix == QLatin1String("G") ? 1e9
                                                        : 1e12;
    const double bytes = number * scale;
    if (!ok || !std::isfinite(bytes) || bytes < 0 || bytes > 9e18)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(bytes));
}

} // namespace pulo
