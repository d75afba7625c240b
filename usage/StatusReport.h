#pragma once

// The status the command line prints (--status, --json) and a running copy hands it over the
// single-copy socket: whether a line is up, for how long, and where the plan stands. One JSON
// object, the same from a running copy and from the files.

#include "usage/PlanStatus.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace pulo {

struct TStatusReport final
{
    bool Online = false;
    QString Entry;
    std::optional<std::int64_t> SecondsOnline; // known only to a running copy
    TPlanStatus Plan;
    QString DataSaver = QStringLiteral("off"); // as TDataSaver::State says
    std::vector<QString> HeldBack;             // the executables it holds back while on
};

// The entry's name on one line: line breaks and other control characters (a NetworkManager profile
// may hold any) become blanks.
[[nodiscard]] QString EntryOnOneLine(QString entry);

[[nodiscard]] QJsonObject ReportJson(const TStatusReport& report);
// Nothing when the object is not such a report.
[[nodiscard]] std::optional<TStatusReport> ReportFromJson(const QJsonObject& object);
// "Connected to My ISP for 00:12:30, this period (1 December to 31 December) 12.3 MB received
// and 1.20 MB sent, 31 % of the 40.0 MB limit, 24 days left, within the limit".
[[nodiscard]] QString ReportLine(const TStatusReport& report);

} // namespace pulo
