#include "app/CommandOutput.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

namespace pulo::cli {

namespace {

// Why the last write to standard output failed.
int WriteError = 0;

// Standard output was closed when the program started.
bool OutputClosed = false;

} // namespace

void OutputWasClosed()
{
    OutputClosed = true;
    WriteError = EBADF;
}

bool Write(std::FILE* stream, const QByteArray& text)
{
    if (stream == stdout && OutputClosed)
        return false;
    errno = 0;
    const std::size_t written = std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    const bool complete =
        std::fflush(stream) == 0 && written == static_cast<std::size_t>(text.size()) && std::ferror(stream) == 0;
    if (!complete && stream == stdout)
        WriteError = errno != 0 ? errno : EIO;
    return complete;
}

int Refuse(int status, const QString& message)
{
    (void)Write(stderr, QStringLiteral("%1: %2\n").arg(QCoreApplication::applicationName(), message).toUtf8());
    return status;
}

int OutputFailed()
{
    return Refuse(
        Failure,
        QStringLiteral("cannot write to standard output: %1").arg(QString::fromLocal8Bit(std::strerror(WriteError))));
}

int Answer(std::FILE* stream, const QByteArray& text)
{
    return Write(stream, text) ? Success : OutputFailed();
}

QString Shown(const QString& value)
{
    constexpr qsizetype Longest = 40;
    return value.size() <= Longest ? value : value.left(Longest) + QStringLiteral("...");
}

} // namespace pulo::cli
