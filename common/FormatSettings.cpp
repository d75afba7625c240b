#include "common/FormatSettings.h"

#include <QLocale>

namespace pulo {

FormatSettings& CurrentFormat()
{
    static FormatSettings format;
    return format;
}

void LoadSystemFormat()
{
    const QString point = QLocale::system().decimalPoint();
    // A separator outside plain ASCII cannot go into the 8-bit settings file as one byte.
    CurrentFormat().DecimalSeparator = point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
    CurrentFormat().ShortDateFormat = QLocale::system().dateFormat(QLocale::ShortFormat);
    // The long time without its time zone: the log's times are the computer's local time.
    CurrentFormat().LongTimeFormat = WithoutTimeZone(QLocale::system().timeFormat(QLocale::LongFormat));
}

QString WithoutTimeZone(const QString& format)
{
    QString time;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('t')) {
            time += format[i];
            continue;
        }
        while (!time.isEmpty() && time.back().isSpace())
            time.chop(1);
        while (i + 1 < format.size() && format[i + 1] == QLatin1Char('t'))
            ++i;
    }
    return time.trimmed();
}

} // namespace pulo
