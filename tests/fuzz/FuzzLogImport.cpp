// libFuzzer: the history takes in whatever lines a user's log holds, in any of the formats it
// may have been written in.

#include "usage/LogImport.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split(QLatin1Char('\n'));
    const pulo::TLogImport import = pulo::ImportLogLines(lines);
    // Every connection taken in is one that could have been: it ends after it begins, with no
    // negative figures, and nothing is counted twice.
    for (const pulo::TUsageConnection& connection : import.Connections) {
        if (connection.Seconds < 0 || connection.Sent < 0 || connection.Received < 0 || !connection.Start.isValid() ||
            connection.End < connection.Start)
            __builtin_trap();
    }
    if (static_cast<qsizetype>(import.Connections.size()) + import.Unreadable > lines.size())
        __builtin_trap();
    return 0;
}
