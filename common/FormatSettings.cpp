#include "common/FormatSettings.h"

#include <QLocale>
#include <QRegularExpression>

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
    QString time = QLocale::system().timeFormat(QLocale::LongFormat);
    time.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    CurrentFormat().LongTimeFormat = time.trimmed();
}

} // namespace pulo
