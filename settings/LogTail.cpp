#include "settings/LogTail.h"

#include "common/PuloError.h"
#include "platform/AtomicFile.h"
#include "settings/LogFile.h"
#include "settings/LogLines.h"
#include "settings/RichText.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pulo {

namespace {

// Far more than the last seven lines of any log take.
constexpr qint64 TailWindow = 256 * 1024;

class TOpenFile final
{
public:
    explicit TOpenFile(const QByteArray& path)
        : Fd(open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC))
    {
    }
    ~TOpenFile()
    {
        if (Fd >= 0)
            close(Fd);
    }
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;

    // length bytes from offset; fewer when the file is shorter or cannot be read.
    [[nodiscard]] QByteArray Read(qint64 offset, qint64 length) const
    {
        QByteArray bytes(length, '\0');
        qint64 filled = 0;
        while (filled < length) {
            const ssize_t got = pread(Fd, bytes.data() + filled, static_cast<std::size_t>(length - filled),
                                      static_cast<off_t>(offset + filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            filled += got;
        }
        bytes.truncate(filled);
        return bytes;
    }

    int Fd;
};

} // namespace

bool AppendToOwnLog(const TLogJournal& journal)
{
    const QByteArray path = QFile::encodeName(LogPath());
    const TOpenFile file(path);
    struct stat status = {};
    if (file.Fd < 0 || fstat(file.Fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const qint64 size = status.st_size;
    const QByteArray& header = RichTextHeader();
    const auto endLength = static_cast<qint64>(std::strlen(RichTextEnd));
    if (size > LargestLog || size < header.size() + endLength || file.Read(0, header.size()) != header)
        return false;

    // The end of the document: its last lines, up to seven, and where the first of them begins.
    const qint64 window = std::min(TailWindow, size - header.size());
    const QByteArray tail = file.Read(size - window, window);
    if (tail.size() != window || !tail.endsWith(RichTextEnd))
        return false;
    const qint64 bodyEnd = window - endLength; // in tail
    qint64 firstLine = 0;                      // in tail: where the last lines begin
    qint64 split = -1;                         // in tail: the break before them, if any
    qint64 from = bodyEnd;
    for (int found = 0; found < MonthBlockLines; ++found) {
        const qint64 at = from <= 0 ? -1 : tail.lastIndexOf(RichTextBreak, from - 1);
        if (at < 0) {
            if (window != size - header.size())
                return false; // the window does not reach back far enough: not a log of ours
            split = -1;
            firstLine = 0;
            break;
        }
        split = at;
        firstLine = at + static_cast<qint64>(std::strlen(RichTextBreak));
        from = at;
    }
    const QStringList last = ReadRichText(header + tail.mid(firstLine, bodyEnd - firstLine) + QByteArray(RichTextEnd));

    const QStringList added = journal.Lines + journal.Block;
    qint64 keep = 0;
    bool first = false;
    if (journal.ReplaceBlock && last.size() == MonthBlockLines && EndsWithMonthTotalsBlock(last)) {
        // The month's block goes; what stood before it stays as it is.
        keep = split >= 0 ? size - window + split : header.size();
        first = split < 0;
    } else {
        keep = size - window + bodyEnd;
        first = keep == header.size();
    }
    const QByteArray bytes = RichTextParagraphs(added, first) + QByteArray(RichTextEnd);
    if (keep + bytes.size() > LargestLog)
        throw PuloError(QStringLiteral("Failed to Save Stream"));
    if (win::ReplaceFileKeepingStart(path.toStdString(), file.Fd, static_cast<std::uint64_t>(keep),
                                     std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) !=
        win::ERROR_SUCCESS)
        throw PuloError(QStringLiteral("Failed to Save Stream"));
    return true;
}

} // namespace pulo
