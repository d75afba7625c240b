#pragma once

// How the usage history's tables keep a moment: seconds since 1970 in UTC beside the offset from
// UTC it had. Shared by the history's own files only.

#include <QDateTime>
#include <QVariant>

namespace pulo {

[[nodiscard]] inline QDateTime FromColumns(const QVariant& utc, const QVariant& offset)
{
    return QDateTime::fromSecsSinceEpoch(utc.toLongLong(), Qt::OffsetFromUTC, offset.toInt());
}

} // namespace pulo
