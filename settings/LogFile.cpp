#include "settings/LogFile.h"

#include "common/MonthAccounting.h"
#include "common/PuloError.h"
#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"
#include "settings/FileLocations.h"
#include "settings/LogJournal.h"
#include "settings/LogLines.h"
#include "settings/LogTail.h"
#include "settings/RichText.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>

namespace pulo {

QString LogPath()
{
    return ProgramFilePath(QStringLiteral(".log"));
}

void PrepareLogFile()
{
    win::RemoveStaleTemporaries(QFile::encodeName(LogPath()).toStdString());
    win::RemoveStaleTemporaries(QFile::encodeName(LogJournalPath()).toStdString());
}

void CreateLogIfMissing()
{
    const QString path = LogPath();
    if (QFileInfo::exists(path))
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.close();
}

QStringList LoadLog()
{
    // A FIFO, a device or a folder in the log's place is refused at once, never waited on.
    const win::FileRead read = win::ReadRegularFile(QFile::encodeName(LogPath()).toStdString(), LargestLog);
    if (read.Error != win::ERROR_SUCCESS)
        throw PuloError(QStringLiteral("Failed to Load Stream"));
    return ReadRichText(QByteArray::fromStdString(read.Bytes));
}

void SaveLog(const QStringList& lines)
{
    const QByteArray data = WriteRichText(lines);
    // A log the program could not read back would fail every later connection end.
    if (data.size() > LargestLog)
        throw PuloError(QStringLiteral("Failed to Save Stream"));
    if (win::ReplaceFileAtomically(QFile::encodeName(LogPath()).toStdString(),
                                   std::string_view(data.constData(), static_cast<std::size_t>(data.size()))) != 0)
        throw PuloError(QStringLiteral("Failed to Save Stream"));
}

void TLogWriter::UpdateLog(TLogContext& context)
{
    const TDateTime end = Now();
    const TConnectionEnd ended{
        context.ConnectStart, end, context.Logging, context.StatsXmit, context.StatsRecv, context.BillingDay,
        context.Milliseconds};
    const std::optional<TFinishedConnection> counted = CountConnection(context.Totals, ended);
    if (!counted)
        return;
    // "Month" is the month in which the connection's billing period began.
    context.Current = counted->PeriodMonth;
    context.Past = SplitSeconds(context.Totals.TotTime);
    PendingLines << ConnectionLine(context.ConnectDate, context.ConnectStart, end, counted->Hours, counted->Minutes,
                                   counted->Seconds, counted->ConnSentKB, counted->ConnRecvKB, context.ActiveEntryName);

    // What the log and the settings file are about to hold, kept until both hold it.
    TLogJournal journal;
    journal.Lines = PendingLines;
    journal.ReplaceBlock = counted->SameMonth;
    journal.Block = MonthTotalsBlock(context.Totals.TotCon, context.Past.Hours, context.Past.Minutes,
                                     context.Past.Seconds, context.Totals.TotTMT, context.Totals.TotRCV);
    journal.Totals = context.Totals;
    journal.Totals.StoredMonth = context.Current.Month;
    // Without its side file a kill could leave the log and the totals disagreeing, or an older
    // side file would be finished in its place: the log is not touched, and the line waits.
    if (!SaveLogJournal(journal)) {
        RemoveLogJournal();
        Unjournalled = journal;
        throw PuloError(QStringLiteral("Failed to Save Stream"));
    }
    Unjournalled.reset();

    CreateLogIfMissing();
    // Our own log has its end rewritten alone; any other is read and written whole.
    if (!AppendToOwnLog(journal)) {
        const QStringList lines = LoadLog(); // on failure the line waits in PendingLines
        SaveLog(WithJournal(lines, journal));
    }
    PendingLines.clear();
}

void TLogWriter::KeepWaiting(const QStringList& lines)
{
    PendingLines = lines + PendingLines;
}

void CloseLogJournal(const TLogWriter& writer)
{
    if (writer.Pending().isEmpty())
        RemoveLogJournal();
}

} // namespace pulo
