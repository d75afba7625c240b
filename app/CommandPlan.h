#pragma once

// The command line's plan: where the period stands (asked of the running copy, else read from the
// files), and what changes the plan: the provider's figure, an add-on pack, the data saver's mode.
// Each goes to the running copy when one answers, else into the files it would have written.

#include "usage/DataSaver.h"
#include "usage/HistoryStore.h"
#include "usage/PlanStatus.h"
#include "usage/StatusReport.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>

#include <cstdint>
#include <optional>

namespace pulo::cli {

// The running copy's answer taken apart; nothing when none answered.
[[nodiscard]] std::optional<TStatusReport> LiveReport(const std::optional<QByteArray>& live);
// The plan as the files have it: the month totals, today's use, the provider's figure and the packs
// from the history (none yet reads as nothing used and nothing corrected).
[[nodiscard]] TPlanKeeper KeeperFromFiles(const QDateTime& now, const THistoryStore& history);
// While a copy runs on this settings file its live figures, else the files'.
[[nodiscard]] TStatusReport Report();
// Each returns the exit status, having printed where the period stands after it.
int SetUsed(std::int64_t bytes, bool force);
int AddPack(std::int64_t bytes, const std::optional<QDate>& until);
int SetDataSaver(TDataSaverMode mode);

} // namespace pulo::cli
