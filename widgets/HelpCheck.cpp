#include "widgets/HelpCheck.h"

#include "platform/Backend.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include <map>
#include <vector>

namespace pulo {

namespace {

// How long the help checker may take over a help file before it is taken for damaged.
constexpr int HelpCheckMs = 10000;

QString KeyOf(const QFileInfo& file)
{
    return QStringLiteral("%1\n%2\n%3")
        .arg(file.absoluteFilePath())
        .arg(file.size())
        .arg(file.lastModified().toMSecsSinceEpoch());
}

std::map<QString, bool>& Verdicts()
{
    static std::map<QString, bool> verdicts;
    return verdicts;
}

// The checks under way, each with what waits for its end.
struct TWaiting final
{
    QPointer<QObject> Context;
    std::function<void()> Done;
};
std::map<QString, std::vector<TWaiting>>& Running()
{
    static std::map<QString, std::vector<TWaiting>> running;
    return running;
}

void Finish(const QString& key, bool sound)
{
    Verdicts()[key] = sound;
    const auto found = Running().find(key);
    if (found == Running().end())
        return;
    const std::vector<TWaiting> waiting = std::move(found->second);
    Running().erase(found);
    for (const TWaiting& each : waiting)
        if (each.Context)
            QTimer::singleShot(0, each.Context, each.Done);
}

} // namespace

QStringList HelpCheckerPlaces()
{
    const QString folder =
        QFileInfo(QString::fromStdString(win::InstalledBackend().System->ModuleFileName())).absolutePath();
    return {folder + QStringLiteral("/pulopro-helpcheck"),
            QDir::cleanPath(folder + QStringLiteral("/../lib/pulopro/pulopro-helpcheck"))};
}

QString HelpCheckerPath()
{
    for (const QString& candidate : HelpCheckerPlaces())
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    return {};
}

std::optional<bool> RememberedHelpVerdict(const QFileInfo& file)
{
    const auto found = Verdicts().find(KeyOf(file));
    if (found == Verdicts().end())
        return std::nullopt;
    return found->second;
}

bool CheckHelpFileNow(const QString& checker, const QString& copyPath, const QFileInfo& file)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    check.start(checker, {copyPath});
    bool sound = false;
    if (check.waitForFinished(HelpCheckMs)) {
        sound = check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
    } else {
        check.kill();
        check.waitForFinished();
    }
    Verdicts()[KeyOf(file)] = sound;
    return sound;
}

void CheckHelpFileLater(const QString& checker,
                        const QByteArray& bytes,
                        const QFileInfo& file,
                        QObject* context,
                        std::function<void()> done)
{
    const QString key = KeyOf(file);
    const bool underWay = Running().count(key) != 0;
    Running()[key].push_back({context, std::move(done)});
    if (underWay)
        return;
    // The checker reads a private copy: exactly the bytes the library will get, which no one
    // else can change meanwhile. It lives as long as the check.
    // Owned by the application, so that a check still under way at its end is ended with it.
    auto* check = new QProcess(QCoreApplication::instance());
    auto* copy = new QTemporaryFile(check);
    if (!copy->open() || copy->write(bytes) != bytes.size() || !copy->flush()) {
        delete check;
        Finish(key, false);
        return;
    }
    check->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(check, &QProcess::finished, check, [check, key](int code, QProcess::ExitStatus status) {
        Finish(key, status == QProcess::NormalExit && code == 0);
        check->deleteLater();
    });
    QObject::connect(check, &QProcess::errorOccurred, check, [check, key](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash or a kill ends in finished()
        Finish(key, false);
        check->deleteLater();
    });
    // Out of time: taken for damaged; the kill ends it through finished().
    QTimer::singleShot(HelpCheckMs, check, [check] { check->kill(); });
    check->start(checker, {copy->fileName()});
}

} // namespace pulo
