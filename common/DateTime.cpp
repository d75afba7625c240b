#include "common/DateTime.h"

#include "platform/Win32.h"

#include <cmath>

namespace pulo {

namespace {

// Days from 1970-01-01 to 1899-12-30.
constexpr long EpochShift = 25569;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(long y, long m, long d)
{
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

} // namespace

TDateTime EncodeDate(int year, int month, int day)
{
    return static_cast<double>(DaysFromCivil(year, month, day) + EpochShift);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / 86400000.0;
}

DateParts DecodeDate(TDateTime value)
{
    long z = static_cast<long>(std::floor(value)) - EpochShift + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long day = doy - (153 * mp + 2) / 5 + 1;
    const long month = mp < 10 ? mp + 3 : mp - 9;
    const long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<std::uint16_t>(year), static_cast<std::uint16_t>(month), static_cast<std::uint16_t>(day)};
}

QDateTime ToQDateTime(TDateTime value)
{
    const DateParts date = DecodeDate(value);
    const auto milliseconds = static_cast<int>(std::llround((value - std::floor(value)) * 86400000.0) % 86400000);
    return {QDate(date.Year, date.Month, date.Day), QTime::fromMSecsSinceStartOfDay(milliseconds)};
}

QDate DateOf(TDateTime value)
{
    const DateParts date = DecodeDate(value);
    return {date.Year, date.Month, date.Day};
}

TDateTime FromQDateTime(const QDateTime& value)
{
    const QDateTime local = value.toLocalTime();
    const QDate date = local.date();
    return EncodeDate(date.year(), date.month(), date.day()) +
           static_cast<double>(local.time().msecsSinceStartOfDay()) / 86400000.0;
}

QDateTime UtcNow()
{
    win::SYSTEMTIME time{};
    win::GetSystemTime(&time);
    return {QDate(time.wYear, time.wMonth, time.wDay),
            QTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds), Qt::UTC};
}

std::int64_t Uptime()
{
    return static_cast<std::int64_t>(win::GetTickCount64());
}

TDateTime Now()
{
    win::SYSTEMTIME time{};
    win::GetLocalTime(&time);
    return EncodeDate(time.wYear, time.wMonth, time.wDay) +
           EncodeTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
}

} // namespace pulo
