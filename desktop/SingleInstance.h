#pragma once

// One copy of the program per settings file: two copies would both write the same settings file
// and log, and the last writer would win. The first copy listens on a local socket named from
// the settings file's path; a second start finds it, asks it to show its window and ends. A
// socket left behind by a copy that was killed is taken over. The command line's --status and
// --json ask a running copy for its live figures the same way.

#include "desktop/LocalSocket.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace pulo {

// The running copy's live status for the command line (see OnStatus); nothing when no copy runs
// on this settings file or it does not answer within a moment.
[[nodiscard]] std::optional<QByteArray> AskRunningCopyForStatus(const QString& settingsPath);
// Has the running copy take the provider's figure for this period (bytes, given at the moment at,
// whole seconds; see OnSetUsed); its live status after it, or nothing when no copy runs or it does
// not answer. The moment names the figure: a caller that stores it itself after getting no answer
// and a copy that takes the request later store it once.
[[nodiscard]] std::optional<QByteArray>
TellRunningCopyTheProvidersFigure(const QString& settingsPath, std::int64_t bytes, const QDateTime& at);

// Has the running copy write the connection in progress, its programs included, to the history
// now; its answer is why its per-program meter did not answer (empty when it did), or nothing
// when no copy runs or it does not answer.
[[nodiscard]] std::optional<QByteArray> AskRunningCopyToWriteItsPrograms(const QString& settingsPath);

// Has the running copy set the data saver's mode (0 off, 1 while the plan runs short, 2 always; see
// OnDataSaver); its live status after it, or nothing when no copy runs or it does not answer.
[[nodiscard]] std::optional<QByteArray> TellRunningCopyTheDataSaver(const QString& settingsPath, int mode);

// Has the running copy add a pack of bytes lasting to the end of until (invalid: the period's last
// day; see OnAddPack); its live status after it, or nothing when no copy runs or it does not answer.
[[nodiscard]] std::optional<QByteArray>
TellRunningCopyThePack(const QString& settingsPath, std::int64_t bytes, const QDate& until);

class TSingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit TSingleInstance(const QString& settingsPath, QObject* parent = nullptr);

    // True when this is the only copy (it now listens for later starts); false when another
    // copy runs and has been asked to show its window: this one should end.
    [[nodiscard]] bool Claim();
    // The socket's path, in the user's runtime folder of the system (/run/user/UID) or a folder
    // of the user's own in the temporary folder, whatever $XDG_RUNTIME_DIR says; empty when there
    // is neither (the guard is then off, and says so).
    [[nodiscard]] const QString& SocketPath() const { return Path; }

    // A later start asked for the window.
    std::function<void()> OnRaise;
    // The command line asked for the live status: one line of JSON (no line break in it).
    std::function<QByteArray()> OnStatus;
    // The command line gave the provider's figure for this period: take it, and answer the live
    // status as OnStatus does.
    std::function<QByteArray(std::int64_t bytes, const QDateTime& at)> OnSetUsed;
    // The command line asks which programs used the line: write the history now, and say why the
    // meter did not answer, if it did not (one line).
    std::function<QByteArray()> OnPrograms;
    // The command line set the data saver's mode: take it, and answer the live status as OnStatus
    // does.
    std::function<QByteArray(int mode)> OnDataSaver;
    // The command line added a pack: take it, and answer the live status as OnStatus does.
    std::function<QByteArray(std::int64_t bytes, const QDate& until)> OnAddPack;

private:
    QByteArray Answer(const QByteArray& request);

    QString Path;
    TLocalListener Server;
};

} // namespace pulo
