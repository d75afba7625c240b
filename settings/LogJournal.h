#pragma once

// A connection's end touches two files, the log and the month totals in the settings file. A
// program killed between the two writes (or a log that could not be written) would leave them
// disagreeing for good, since every later end recounts from the settings file. So before either
// is written, what both will hold is kept in a small side file beside the log
// ("pulopro.log.pending"); it is removed once both hold it. At the next start a side file still
// there is finished: the log gets its lines and block unless it already ends with them, and the
// settings file gets its totals, so the two agree again. Neither file's format changes.

#include "common/TSettings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace pulo {

struct TLogJournal final
{
    QStringList Lines;         // connection lines waiting for the log
    bool ReplaceBlock = false; // the log's last totals block is of the same month: it is replaced
    QStringList Block;         // the month's totals block that ends the log
    TMonthTotals Totals;       // the "Stats" section; StoredMonth is the "Month" written
};

[[nodiscard]] QString LogJournalPath();
// False when it could not be written.
[[nodiscard]] bool SaveLogJournal(const TLogJournal& journal);
// Nothing when there is none or it is not one of ours.
[[nodiscard]] std::optional<TLogJournal> LoadLogJournal();
void RemoveLogJournal();
// The side file's text, and a journal read back from it (nothing when it is not one of ours, or
// is cut short): also how a journal is kept elsewhere when no side file can be written.
[[nodiscard]] QByteArray JournalText(const TLogJournal& journal);
[[nodiscard]] std::optional<TLogJournal> ParseJournal(const QByteArray& bytes);

// The log's lines with the journal's applied: the last totals block taken away when it is the
// same month's (and really is a totals block), then the waiting lines and the new block.
[[nodiscard]] QStringList WithJournal(QStringList lines, const TLogJournal& journal);
// Whether the log already ends with the journal's lines and block.
[[nodiscard]] bool LogHolds(const QStringList& lines, const TLogJournal& journal);
// Gives the log the journal's lines and block unless it ends with them already; false when the log
// cannot be read or written.
bool WriteJournalToLog(const TLogJournal& journal);

struct TInterruptedEnd final
{
    QStringList Waiting;  // lines still waiting for a log that cannot be written; the writer keeps them
    QStringList Problems; // what could not be done ("Unable to write to ..."), for the user
};

// Finishes a connection end a kill or a refused write interrupted (see above). A side file that
// cannot be read is set aside (".unreadable"), never deleted; one whose totals the settings file
// refuses stays for the next start.
[[nodiscard]] TInterruptedEnd FinishInterruptedConnectionEnd();

} // namespace pulo
