#pragma once

// The connection log beside the settings file: loading and saving its lines, and writing one
// finished connection with the month's totals block.

#include "common/ClockText.h"
#include "common/DateTime.h"
#include "common/TSettings.h"
#include "settings/LogJournal.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace pulo {

// Far more than years of connections; a larger file is not this program's log, and no log is
// ever written larger.
inline constexpr qint64 LargestLog = 64LL * 1024 * 1024;

// The log file: the executable's name with ".log", beside it or in the user's data folder.
[[nodiscard]] QString LogPath();

// At start: removes the temporary files a write of the log left when the program was killed.
void PrepareLogFile();
// Creates the log empty when it is missing (a failure is not reported here).
void CreateLogIfMissing();
// The log's lines. Raises "Failed to Load Stream" when the file cannot be read whole.
[[nodiscard]] QStringList LoadLog();
// Replaces the log with the lines, whole or not at all. Raises "Failed to Save Stream".
void SaveLog(const QStringList& lines);

// What the main window hands the log writer, and what the writer updates in it.
struct TLogContext final
{
    TMonthTotals& Totals;
    DateParts& Current; // the date of the connection's start once it is written
    ClockParts& Past;   // the totals' time, as the totals block shows it
    bool Logging = true;
    TDateTime ConnectStart = 0;
    TDateTime ConnectDate = 0;
    QString ActiveEntryName;
    double StatsXmit = 0; // bytes of this connection
    double StatsRecv = 0;
    int BillingDay = 1; // the totals roll over on this day of the month
    // The connection's length on a clock that is never set; negative: from the wall clock.
    std::int64_t Milliseconds = -1;
};

// Writes one finished connection: counts it into the month totals and appends its line and
// the month's totals block to the log (the block of the same month replaced). Nothing happens
// without a start, for a duration of zero or less, or with logging off. A log that cannot be
// read or written keeps its old content: the connection still counts, its line is kept here
// and written with the next one, and "Failed to Load Stream" or "Failed to Save Stream" is
// raised. Before the log is touched, the side file of LogJournal.h records what the log and the
// settings file are to hold; the caller removes it (CloseLogJournal) once the totals are stored.
class TLogWriter final
{
public:
    void UpdateLog(TLogContext& context);
    // Connection lines waiting for a log that could not be read or written.
    [[nodiscard]] const QStringList& Pending() const { return PendingLines; }
    // Takes lines that were waiting when the program last ended; they go first.
    void KeepWaiting(const QStringList& lines);
    // What the log and the month totals were to hold at the latest connection end whose side file
    // could not be written either: without it the waiting lines would be lost at the program's end.
    [[nodiscard]] const std::optional<TLogJournal>& Unsaved() const { return Unjournalled; }

private:
    QStringList PendingLines;
    std::optional<TLogJournal> Unjournalled;
};

// Removes the side file once nothing is waiting for the log: call after the month totals are
// stored.
void CloseLogJournal(const TLogWriter& writer);

} // namespace pulo
