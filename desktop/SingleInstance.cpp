#include "desktop/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>

#include <unistd.h>

namespace pulo {

namespace {

constexpr int AnswerMs = 1000;
const QByteArray Raise = QByteArrayLiteral("raise\n");

QString SocketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
}

} // namespace

TSingleInstance::TSingleInstance(const QString& settingsPath, QObject* parent) : QObject(parent)
{
    const QString canonical = QFileInfo(settingsPath).absoluteFilePath();
    const QByteArray digest = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    Path = SocketFolder() + QStringLiteral("/pulopro-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
    Server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&Server, &QLocalServer::newConnection, this, [this] { Answer(); });
}

bool TSingleInstance::Claim()
{
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
        connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
            if (!caller->canReadLine())
                return;
            const QByteArray request = caller->readLine();
            caller->write("ok\n");
            caller->flush();
            if (request == Raise && OnRaise)
                OnRaise();
        });
    }
}

} // namespace pulo
