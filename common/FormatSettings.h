#pragma once

// The user's number format, taken from the system locale at start-up. Reals are written and
// read with this decimal separator in the settings file and the log.

#include <QChar>
#include <QString>

namespace pulo {

struct FormatSettings final
{
    char DecimalSeparator = '.';
    // The user's short date and long time, as Qt format strings.
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy");
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");
};

// The format in force; tests may change it.
[[nodiscard]] FormatSettings& CurrentFormat();
// Takes the decimal separator from the system locale.
void LoadSystemFormat();
// A Qt time format without its time zone (each run of 't' and the blanks before it).
[[nodiscard]] QString WithoutTimeZone(const QString& format);

} // namespace pulo
