#include "settings/LogJournal.h"

#include "common/PuloError.h"
#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"
#include "settings/LogFile.h"
#include "settings/LogLines.h"
#include "settings/Settings.h"

#include <QFile>

namespace pulo {

namespace {

const QByteArray Header = QByteArrayLiteral("PuloPro connection end 1");
constexpr std::size_t LargestJournal = 1024 * 1024;

QByteArray Number(double value)
{
    return QByteArray::number(value, 'g', 17);
}

} // namespace

QString LogJournalPath()
{
    return LogPath() + QStringLiteral(".pending");
}

bool SaveLogJournal(const TLogJournal& journal)
{
    QByteArray text = Header + '\n';
    text += "Month=" + QByteArray::number(journal.Totals.StoredMonth) + '\n';
    text += "TotCon=" + QByteArray::number(journal.Totals.TotCon) + '\n';
    text += "TotTime=" + Number(journal.Totals.TotTime) + '\n';
    text += "TotRCV=" + Number(journal.Totals.TotRCV) + '\n';
    text += "TotTMT=" + Number(journal.Totals.TotTMT) + '\n';
    text += QByteArray("Replace=") + (journal.ReplaceBlock ? "1" : "0") + '\n';
    for (const QString& line : journal.Lines)
        text += "Line=" + line.toUtf8() + '\n';
    for (const QString& line : journal.Block)
        text += "Block=" + line.toUtf8() + '\n';
    return win::ReplaceFileAtomically(QFile::encodeName(LogJournalPath()).toStdString(),
                                      std::string_view(text.constData(), static_cast<std::size_t>(text.size()))) ==
           win::ERROR_SUCCESS;
}

std::optional<TLogJournal> LoadLogJournal()
{
    const win::FileRead read = win::ReadRegularFile(QFile::encodeName(LogJournalPath()).toStdString(), LargestJournal);
    if (read.Error != win::ERROR_SUCCESS)
        return std::nullopt;
    const QList<QByteArray> lines = QByteArray::fromStdString(read.Bytes).split('\n');
    if (lines.value(0) != Header)
        return std::nullopt;
    TLogJournal journal;
    int figures = 0;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        bool valid = true;
        if (key == "Month") {
            journal.Totals.StoredMonth = value.toInt(&valid);
        } else if (key == "TotCon") {
            journal.Totals.TotCon = value.toInt(&valid);
        } else if (key == "TotTime") {
            journal.Totals.TotTime = value.toDouble(&valid);
        } else if (key == "TotRCV") {
            journal.Totals.TotRCV = value.toDouble(&valid);
        } else if (key == "TotTMT") {
            journal.Totals.TotTMT = value.toDouble(&valid);
        } else if (key == "Replace") {
            journal.ReplaceBlock = value == "1";
            continue;
        } else if (key == "Line") {
            journal.Lines << QString::fromUtf8(value);
            continue;
        } else if (key == "Block") {
            journal.Block << QString::fromUtf8(value);
            continue;
        } else {
            continue;
        }
        if (!valid)
            return std::nullopt;
        ++figures;
    }
    // Cut short or written by something else: nothing in it is trusted.
    if (figures != 5 || journal.Block.size() != MonthBlockLines)
        return std::nullopt;
    return journal;
}

void RemoveLogJournal()
{
    QFile::remove(LogJournalPath());
}

QStringList WithJournal(QStringList lines, const TLogJournal& journal)
{
    // Only a real totals block goes: notes a user added at the end of the log stay.
    if (journal.ReplaceBlock && EndsWithMonthTotalsBlock(lines))
        lines.resize(lines.size() - MonthBlockLines);
    lines << journal.Lines << journal.Block;
    return lines;
}

bool LogHolds(const QStringList& lines, const TLogJournal& journal)
{
    const QStringList tail = journal.Lines + journal.Block;
    return lines.size() >= tail.size() && lines.mid(lines.size() - tail.size()) == tail;
}

QStringList FinishInterruptedConnectionEnd()
{
    const std::optional<TLogJournal> journal = LoadLogJournal();
    if (!journal) {
        RemoveLogJournal(); // a torn or foreign side file holds nothing to finish
        return {};
    }
    bool logged = false;
    try {
        CreateLogIfMissing();
        const QStringList lines = LoadLog();
        if (!LogHolds(lines, *journal))
            SaveLog(WithJournal(lines, *journal));
        logged = true;
    } catch (const PuloError&) {
        // The log still cannot be written: its lines keep waiting, the totals are stored.
    }
    TMonthTotals totals = journal->Totals;
    WriteMonthTotals(totals);
    if (!logged)
        return journal->Lines;
    RemoveLogJournal();
    return {};
}

} // namespace pulo
