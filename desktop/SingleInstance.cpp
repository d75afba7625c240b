#include "desktop/SingleInstance.h"

#include "common/AmountText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pulo {

namespace {

constexpr int AnswerMs = 1000;
const QByteArray Raise = QByteArrayLiteral("raise\n");
const QByteArray StatusRequest = QByteArrayLiteral("status\n");
const QByteArray SetUsedRequest = QByteArrayLiteral("set-used "); // then the bytes and a line break
const QByteArray ProgramsRequest = QByteArrayLiteral("programs\n");
const QByteArray DataSaverRequest = QByteArrayLiteral("data-saver "); // then the mode and a line break
const QByteArray AddPackRequest = QByteArrayLiteral("add-pack ");     // then the bytes, the day ("-": none)

// One request to the copy running on the settings file, and its one-line answer.
std::optional<QByteArray> AskRunningCopy(const QString& settingsPath, const QByteArray& request);

// A folder only this user can write: nobody else can put a socket or a file in the socket's
// place there (to stop this program, or to turn the guard off).
bool Private(const QString& folder, mode_t othersMayNot)
{
    struct stat status = {};
    const QByteArray path = QFile::encodeName(folder);
    return !folder.isEmpty() && lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == getuid() && (status.st_mode & othersMayNot) == 0 && access(path.constData(), W_OK) == 0;
}

// The same folder whatever the environment of the process that asks: a cron job, su, ssh or a
// systemd unit often has no $XDG_RUNTIME_DIR, or another one, and must still find the window the
// desktop started. So the folder comes from the user id alone: the user's runtime folder of the
// system (/run/user/UID) when it is there and the user's own; else a folder of the user's own in
// the temporary folder, made 0700. Empty when there is neither.
QString SocketFolder()
{
    const QString runtime = QStringLiteral("/run/user/%1").arg(getuid());
    if (Private(runtime, S_IWGRP | S_IWOTH))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/pulopro-%1").arg(getuid());
    (void)mkdir(QFile::encodeName(own).constData(), 0700);
    return Private(own, S_IRWXG | S_IRWXO) ? own : QString();
}

// Held while a start asks for a running copy and takes the socket over, so that two copies
// started at the same moment do not both take it. The system lets it go when its holder ends,
// however it ends, so no lock is ever left behind; after three seconds a start goes on without it.
class TStartLock final
{
public:
    explicit TStartLock(const QString& path)
        : Fd(open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        for (int tries = 0; Fd >= 0 && tries < 300; ++tries) {
            if (flock(Fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~TStartLock()
    {
        if (Fd >= 0)
            close(Fd); // and with it the lock
    }
    TStartLock(const TStartLock&) = delete;
    TStartLock& operator=(const TStartLock&) = delete;

private:
    int Fd;
};

} // namespace

TSingleInstance::TSingleInstance(const QString& settingsPath, QObject* parent) : QObject(parent)
{
    const QString canonical = QFileInfo(settingsPath).absoluteFilePath();
    const QByteArray digest = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    const QString folder = SocketFolder();
    if (!folder.isEmpty())
        Path = folder + QStringLiteral("/pulopro-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
    Server.OnLine = [this](const QByteArray& request) { return Answer(request); };
}

std::optional<QByteArray> AskRunningCopyForStatus(const QString& settingsPath)
{
    return AskRunningCopy(settingsPath, StatusRequest);
}

std::optional<QByteArray>
TellRunningCopyTheProvidersFigure(const QString& settingsPath, std::int64_t bytes, const QDateTime& at)
{
    return AskRunningCopy(settingsPath, SetUsedRequest + QByteArray::number(static_cast<qlonglong>(bytes)) + ' ' +
                                            QByteArray::number(at.toSecsSinceEpoch()) + '\n');
}

std::optional<QByteArray> AskRunningCopyToWriteItsPrograms(const QString& settingsPath)
{
    return AskRunningCopy(settingsPath, ProgramsRequest);
}

std::optional<QByteArray> TellRunningCopyTheDataSaver(const QString& settingsPath, int mode)
{
    return AskRunningCopy(settingsPath, DataSaverRequest + QByteArray::number(mode) + '\n');
}

std::optional<QByteArray> TellRunningCopyThePack(const QString& settingsPath, std::int64_t bytes, const QDate& until)
{
    return AskRunningCopy(settingsPath, AddPackRequest + QByteArray::number(static_cast<qlonglong>(bytes)) + ' ' +
                                            (until.isValid() ? until.toString(Qt::ISODate).toLatin1() : "-") + '\n');
}

namespace {

std::optional<QByteArray> AskRunningCopy(const QString& settingsPath, const QByteArray& request)
{
    const TSingleInstance guard(settingsPath);
    if (guard.SocketPath().isEmpty())
        return std::nullopt;
    TLocalCall running(guard.SocketPath(), AnswerMs);
    std::optional<QByteArray> answer = running.Ask(request);
    if (!answer || answer->isEmpty())
        return std::nullopt;
    return answer;
}

} // namespace

bool TSingleInstance::Claim()
{
    if (Path.isEmpty()) {
        std::fprintf(stderr, "PuloPro: no private folder for the single-copy guard; a second copy is not stopped\n");
        return true;
    }
    const TStartLock lock(Path + QStringLiteral(".lock"));

    TLocalCall running(Path, AnswerMs);
    if (running.Connected()) {
        (void)running.Ask(Raise); // the running copy's acknowledgement
        return false;
    }
    // Nobody answers: a socket left by a killed copy, or none at all.
    (void)unlink(QFile::encodeName(Path).constData());
    // A copy that cannot listen still runs; later starts then run too.
    Server.Listen(Path);
    return true;
}

QByteArray TSingleInstance::Answer(const QByteArray& request)
{
    if (request == StatusRequest)
        return (OnStatus ? OnStatus() : QByteArray()) + '\n';
    if (request == ProgramsRequest)
        return QByteArrayLiteral("ok ") + (OnPrograms ? OnPrograms() : QByteArray()).replace('\n', ' ') + '\n';
    if (request.startsWith(SetUsedRequest)) {
        // "set-used BYTES AT": the figure and the moment it was given (seconds since 1970); a caller
        // that gives no moment gives it now.
        const QList<QByteArray> fields = request.mid(SetUsedRequest.size()).trimmed().split(' ');
        bool number = false;
        const qlonglong bytes = fields.value(0).toLongLong(&number);
        bool moment = fields.size() == 1;
        const qlonglong seconds = fields.size() == 2 ? fields[1].toLongLong(&moment) : 0;
        const bool figure = number && moment && fields.size() <= 2 && bytes >= 0 && bytes <= MostProviderBytes;
        const QDateTime at = fields.size() == 2 ? QDateTime::fromSecsSinceEpoch(seconds) : QDateTime::currentDateTime();
        return (figure && at.isValid() && OnSetUsed ? OnSetUsed(bytes, at) : QByteArray()) + '\n';
    }
    if (request.startsWith(DataSaverRequest)) {
        bool number = false;
        const int mode = request.mid(DataSaverRequest.size()).trimmed().toInt(&number);
        return (number && mode >= 0 && mode <= 2 && OnDataSaver ? OnDataSaver(mode) : QByteArray()) + '\n';
    }
    if (request.startsWith(AddPackRequest)) {
        const QList<QByteArray> fields = request.mid(AddPackRequest.size()).trimmed().split(' ');
        bool number = false;
        const qlonglong bytes = fields.value(0).toLongLong(&number);
        const QDate until = QDate::fromString(QString::fromLatin1(fields.value(1)), Qt::ISODate);
        const bool pack = number && fields.size() == 2 && bytes > 0 && bytes <= MostProviderBytes &&
                          (until.isValid() || fields[1] == "-");
        return (pack && OnAddPack ? OnAddPack(bytes, until) : QByteArray()) + '\n';
    }
    // The window is raised once the caller has its answer.
    if (request == Raise && OnRaise)
        QTimer::singleShot(0, this, [this] { OnRaise(); });
    return QByteArrayLiteral("ok\n");
}

} // namespace pulo
