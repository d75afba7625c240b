// Connection lines that wait for a log that could not be written, across the program's end. A
// connection end that could write neither the log nor its side file (LogJournal.h) keeps its
// line in memory while the month totals already count it: at the program's end it goes to the
// log, else to the side file, else into the history, where the next start finds it and gives
// it to the log, so that the log's month block and the totals agree again.

#include "app/Unit1.h"
#include "settings/LogJournal.h"
#include "usage/HistoryRecorder.h"
#include "usage/HistoryStore.h"

namespace pulo {

namespace {

const QString LogWaitingFact = QStringLiteral("log_waiting");

} // namespace

void TForm1::KeepUnsavedLogLines()
{
    const std::optional<TLogJournal>& unsaved = LogWriter.Unsaved();
    if (!unsaved || WriteJournalToLog(*unsaved) || SaveLogJournal(*unsaved))
        return;
    if (History) {
        History->Remember(LogWaitingFact, QString::fromUtf8(JournalText(*unsaved)));
        LogLinesInHistory = true;
    }
}

void TForm1::TakeLogLinesFromHistory(const THistoryStore& history)
{
    const std::optional<TLogJournal> kept = ParseJournal(history.Fact(LogWaitingFact).toUtf8());
    if (!kept)
        return;
    LogLinesInHistory = true;
    // Its month block is the log's last only while the totals are still those it recorded (no
    // connection has ended since): else its lines go with the next connection end's block.
    const bool totalsAsKept = Totals.TotCon == kept->Totals.TotCon && Totals.StoredMonth == kept->Totals.StoredMonth;
    if (totalsAsKept && LogWriter.Pending().isEmpty() && WriteJournalToLog(*kept)) {
        ForgetLogLinesInHistory();
        return;
    }
    LogWriter.KeepWaiting(kept->Lines);
}

void TForm1::ForgetLogLinesInHistory()
{
    if (!LogLinesInHistory || !LogWriter.Pending().isEmpty() || !History)
        return;
    History->Remember(LogWaitingFact, QString());
    LogLinesInHistory = false;
}

} // namespace pulo
