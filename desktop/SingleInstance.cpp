#include "desktop/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace pulo {

namespace {

constexpr int AnswerMs = 1000;
const QByteArray Raise = QByteArrayLiteral("raise\n");
const QByteArray StatusRequest = QByteArrayLiteral("status\n");
const QByteArray SetUsedRequest = QByteArrayLiteral("set-used "); // then the bytes and a line break

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

// $XDG_RUNTIME_DIR when it is the user's own and writable (su, ssh and cron often leave it unset
// or another user's); else a folder of the user's own in the temporary folder, made 0700. Empty
// when there is neither.
QString SocketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (Private(runtime, S_IWGRP | S_IWOTH))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/pulopro-%1").arg(getuid());
    (void)mkdir(QFile::encodeName(own).constData(), 0700);
    return Private(own, S_IRWXG | S_IRWXO) ? own : QString();
}

} // namespace

TSingleInstance::TSingleInstance(const QString& settingsPath, QObject* parent) : QObject(parent)
{
    const QString canonical = QFileInfo(settingsPath).absoluteFilePath();
    const QByteArray digest = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    const QString folder = SocketFolder();
    if (!folder.isEmpty())
        Path = folder + QStringLiteral("/pulopro-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
    Server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&Server, &QLocalServer::newConnection, this, [this] { Answer(); });
}

std::optional<QByteArray> AskRunningCopyForStatus(const QString& settingsPath)
{
    return AskRunningCopy(settingsPath, StatusRequest);
}

std::optional<QByteArray> TellRunningCopyTheProvidersFigure(const QString& settingsPath, std::int64_t bytes)
{
    return AskRunningCopy(settingsPath, SetUsedRequest + QByteArray::number(static_cast<qlonglong>(bytes)) + '\n');
}

namespace {

std::optional<QByteArray> AskRunningCopy(const QString& settingsPath, const QByteArray& request)
{
    const TSingleInstance guard(settingsPath);
    if (guard.SocketPath().isEmpty())
        return std::nullopt;
    QLocalSocket running;
    running.connectToServer(guard.SocketPath());
    if (!running.waitForConnected(AnswerMs))
        return std::nullopt;
    running.write(request);
    running.waitForBytesWritten(AnswerMs);
    QByteArray answer;
    while (!answer.endsWith('\n') && running.waitForReadyRead(AnswerMs))
        answer += running.readAll();
    if (!answer.endsWith('\n') || answer.size() <= 1)
        return std::nullopt;
    answer.chop(1);
    return answer;
}

} // namespace

bool TSingleInstance::Claim()
{
    if (Path.isEmpty()) {
        std::fprintf(stderr, "PuloPro: no private folder for the single-copy guard; a second copy is not stopped\n");
        return true;
    }
    // Two copies started at the same moment must not both take the socket over.
    QLockFile lock(Path + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    lock.tryLock(3000);

    QLocalSocket running;
    running.connectToServer(Path);
    if (running.waitForConnected(AnswerMs)) {
        running.write(Raise);
        running.waitForBytesWritten(AnswerMs);
        running.waitForReadyRead(AnswerMs); // the running copy's acknowledgement
        running.disconnectFromServer();
        return false;
    }
    // Nobody answers: a socket left by a killed copy, or none at all.
    QLocalServer::removeServer(Path);
    // A copy that cannot listen still runs; later starts then run too.
    Server.listen(Path);
    return true;
}

void TSingleInstance::Answer()
{
    while (QLocalSocket* caller = Server.nextPendingConnection()) {
        connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        const auto answer = [this, caller] {
            if (!caller->canReadLine())
                return;
            const QByteArray request = caller->readLine();
            if (request == StatusRequest) {
                caller->write((OnStatus ? OnStatus() : QByteArray()) + '\n');
                caller->flush();
                return;
            }
            if (request.startsWith(SetUsedRequest)) {
                bool number = false;
                const qlonglong bytes = request.mid(SetUsedRequest.size()).trimmed().toLongLong(&number);
                caller->write((number && bytes >= 0 && OnSetUsed ? OnSetUsed(bytes) : QByteArray()) + '\n');
                caller->flush();
                return;
            }
            caller->write("ok\n");
            caller->flush();
            if (request == Raise && OnRaise)
                OnRaise();
        };
        connect(caller, &QLocalSocket::readyRead, this, answer);
        // The request may have come with the connection, before there was anyone to be told.
        answer();
    }
}

} // namespace pulo
