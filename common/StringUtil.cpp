#include "common/StringUtil.h"

#include <cmath>

namespace pulo {

double IntPart(double x)
{
    return std::trunc(x);
}

double WholePart(double x)
{
    return IntPart(x);
}

QString ZeroPad(const QString& s)
{
    QString padded = s;
    for (QChar& c : padded) {
        if (c != QLatin1Char(' '))
            break;
        c = QLatin1Char('0');
    }
    return padded;
}

} // namespace pulo
