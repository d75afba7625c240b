#include "usage/Tariff.h"

#include <QLocale>

#include <algorithm>

namespace pulo {

double
CostOf(const TTariff& tariff, std::int64_t counted, std::int64_t seconds, const std::optional<std::int64_t>& limit)
{
    const std::int64_t beyond = std::max<std::int64_t>(0, counted - (limit ? *limit : 0));
    return tariff.PricePerPeriod +
           tariff.PricePerHour * static_cast<double>(std::max<std::int64_t>(0, seconds)) / 3600 +
           tariff.PricePerMB * static_cast<double>(beyond) / 1e6;
}

QString CurrencyOf(const TTariff& tariff)
{
    if (!tariff.Currency.trimmed().isEmpty())
        return tariff.Currency.trimmed();
    const QString code = QLocale::system().currencySymbol(QLocale::CurrencyIsoCode);
    return code.isEmpty() ? QStringLiteral("EUR") : code;
}

QString CostText(double cost, const QString& currency)
{
    return QString::number(cost, 'f', 2) + QLatin1Char(' ') + currency;
}

} // namespace pulo
