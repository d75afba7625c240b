#include "settings/LogFile.h"

#include "common/MonthAccounting.h"
#include "common/PuloError.h"
#include "platform/AtomicFile.h"
#include "settings/FileLocations.h"
#include "settings/LogLines.h"
#include "settings/RichText.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>

namespace pulo {

namespace {

// Far more than years of connections; a larger file is not this program's log.
constexpr qint64 LargestLog = 64LL * 1024 * 1024;

} // namespace

QString LogPath()
{
    return ProgramFilePath(QStringLiteral(".log"));
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
    QFile file(LogPath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > LargestLog)
        throw PuloError(QStringLiteral("Failed to Load Stream"));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() != file.size())
        throw PuloError(QStringLiteral("Failed to Load Stream"));
    return ReadRichText(data);
}

void SaveLog(const QStringList& lines)
{
    const QByteArray data = WriteRichText(lines);
    if (win::ReplaceFileAtomically(QFile::encodeName(LogPath()).toStdString(),
                                   std::string_view(data.constData(), static_cast<std::size_t>(data.size()))) != 0)
        throw PuloError(QStringLiteral("Failed to Save Stream"));
}

void TLogWriter::UpdateLog(TLogContext& context)
{
    const TDateTime end = Now();
    const TConnectionEnd ended{context.ConnectStart, end, context.Logging, context.StatsXmit, context.StatsRecv};
    const std::optional<TFinishedConnection> counted = CountConnection(context.Totals, ended);
    if (!counted)
        return;
    context.Current = counted->StartDate;
    context.Past = SplitSeconds(context.Totals.TotTime);
    PendingLines << ConnectionLine(context.ConnectDate, context.ConnectStart, end, counted->Hours, counted->Minutes,
                                   counted->Seconds, counted->ConnSentKB, counted->ConnRecvKB, context.ActiveEntryName);

    CreateLogIfMissing();
    QStringList lines = LoadLog(); // on failure the line waits in PendingLines
    if (counted->SameMonth)
        lines.resize(std::max<qsizetype>(0, lines.size() - MonthBlockLines));
    lines << PendingLines;
    lines << MonthTotalsBlock(context.Totals.TotCon, context.Past.Hours, context.Past.Minutes, context.Past.Seconds,
                              context.Totals.TotTMT, context.Totals.TotRCV);
    SaveLog(lines);
    PendingLines.clear();
}

} // namespace pulo
