#pragma once

// The connections of a range as CSV (a header row, RFC 4180 quoting, CRLF line ends) or as a
// JSON array, UTF-8: what the command line's --export writes and the Usage window saves.
// Fields: start and end (ISO 8601 with the local offset of the moment), seconds, sent and
// received (bytes), entry, interface ("ppp0", "wlan0") and device (the device's text).
// Or which programs used each connection, a row per connection, day and program: start (the
// connection's), day (YYYY-MM-DD), program, path, received and sent; Other's program is "Other",
// its path empty in CSV and null in JSON.

#include "usage/HistoryStore.h"

#include <QByteArray>

#include <vector>

namespace pulo {

// The same written piece by piece, as the connections are read: Begin(), a Row() for each,
// End(); a long history is never held whole in memory.
class TExportFormat final
{
public:
    enum class TKind
    {
        Csv,
        Json,
    };
    enum class TContent
    {
        Connections,
        Programs,
    };
    explicit TExportFormat(TKind kind, TContent content = TContent::Connections) : Kind(kind), Content(content) {}
    [[nodiscard]] QByteArray Begin() const;
    [[nodiscard]] QByteArray Row(const TUsageConnection& connection);
    [[nodiscard]] QByteArray Row(const TUsageConnection& connection, const TProgramRow& program);
    [[nodiscard]] QByteArray End() const;

private:
    TKind Kind;
    TContent Content;
    bool First = true;
};

[[nodiscard]] QByteArray ConnectionsCsv(const std::vector<TUsageConnection>& connections);
[[nodiscard]] QByteArray ConnectionsJson(const std::vector<TUsageConnection>& connections);

} // namespace pulo
