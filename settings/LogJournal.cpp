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

// Version 2 escapes backslashes and line breaks in its texts (a connection's name may hold a
// line break); version 1 files, from before, are read as they stand.
const QByteArray Header = QByteArrayLiteral("PuloPro connection end 2");
const QByteArray HeaderUnescaped = QByteArrayLiteral("PuloPro connection end 1");
constexpr std::size_t LargestJournal = 1024 * 1024;

QByteArray Number(double value)
{
    return QByteArray::number(value, 'g', 17);
}

QByteArray Escaped(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\\', "\\\\").replace('\n', "\\n").replace('\r', "\\r");
    return bytes;
}

QString Unescaped(const QByteArray& bytes)
{
    QByteArray text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\\' || i + 1 == bytes.size()) {
            text += bytes[i];
            continue;
        }
        const char next = bytes[++i];
        text += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return QString::fromUtf8(text);
}

} // namespace

QString LogJournalPath()
{
    return LogPath() + QStringLiteral(".pending");
}

QByteArray JournalText(const TLogJournal& journal)
{
    QByteArray text = Header + '\n';
    text += "Month=" + QByteArray::number(journal.Totals.StoredMonth) + '\n';
    text += "TotCon=" + QByteArray::number(journal.Totals.TotCon) + '\n';
    text += "TotTime=" + Number(journal.Totals.TotTime) + '\n';
    text += "TotRCV=" + Number(journal.Totals.TotRCV) + '\n';
    text += "TotTMT=" + Number(journal.Totals.TotTMT) + '\n';
    text += QByteArray("Replace=") + (journal.ReplaceBlock ? "1" : "0") + '\n';
    for (const QString& line : journal.Lines)
        text += "Line=" + Escaped(line) + '\n';
    for (const QString& line : journal.Block)
        text += "Block=" + Escaped(line) + '\n';
    return text;
}

bool SaveLogJournal(const TLogJournal& journal)
{
    const QByteArray text = JournalText(journal);
    return win::ReplaceFileAtomically(QFile::encodeName(LogJournalPath()).toStdString(),
                                      std::string_view(text.constData(), static_cast<std::size_t>(text.size()))) ==
           win::ERROR_SUCCESS;
}

std::optional<TLogJournal> LoadLogJournal()
{
    const win::FileRead read = win::ReadRegularFile(QFile::encodeName(LogJournalPath()).toStdString(), LargestJournal);
    if (read.Error != win::ERROR_SUCCESS)
        return std::nullopt;
    return ParseJournal(QByteArray::fromStdString(read.Bytes));
}

std::optional<TLogJournal> ParseJournal(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.value(0) != Header && lines.value(0) != HeaderUnescaped)
        return std::nullopt;
    const auto text = [escaped = lines.value(0) == Header](const QByteArray& value) {
        return escaped ? Unescaped(value) : QString::fromUtf8(value);
    };
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
            journal.Lines << text(value);
            continue;
        } else if (key == "Block") {
            journal.Block << text(value);
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
    // Compared as text: a line with a line break in it (a connection's name) is two lines of
    // the log once read back.
    const QString tail = (journal.Lines + journal.Block).join(QLatin1Char('\n'));
    const QString log = lines.join(QLatin1Char('\n'));
    return log.endsWith(tail) && (log.size() == tail.size() || log[log.size() - tail.size() - 1] == QLatin1Char('\n'));
}

bool WriteJournalToLog(const TLogJournal& journal)
{
    try {
        CreateLogIfMissing();
        const QStringList lines = LoadLog();
        if (!LogHolds(lines, journal))
            SaveLog(WithJournal(lines, journal));
        return true;
    } catch (const PuloError&) {
        return false;
    }
}

TInterruptedEnd FinishInterruptedConnectionEnd()
{
    TInterruptedEnd finished;
    const std::optional<TLogJournal> journal = LoadLogJournal();
    if (!journal) {
        if (QFile::exists(LogJournalPath())) {
            // Cut short or not ours: nothing in it is trusted, and nothing of it is thrown away.
            const QString aside = LogJournalPath() + QStringLiteral(".unreadable");
            QFile::remove(aside);
            finished.Problems
                << (QFile::rename(LogJournalPath(), aside)
                        ? QStringLiteral("The unfinished connection end %1 could not be read; it was "
                                         "kept as %2.")
                              .arg(LogJournalPath(), aside)
                        : QStringLiteral("The unfinished connection end %1 could not be read.").arg(LogJournalPath()));
        }
        return finished;
    }
    // A log that still cannot be written: its lines keep waiting, the totals are stored.
    const bool logged = WriteJournalToLog(*journal);
    if (!logged)
        finished.Waiting = journal->Lines;
    try {
        TMonthTotals totals = journal->Totals;
        WriteMonthTotals(totals);
    } catch (const PuloError& error) {
        // The side file stays for the next start; the lines wait meanwhile.
        finished.Problems << error.Message();
        return finished;
    }
    if (logged)
        RemoveLogJournal();
    return finished;
}

} // namespace pulo
