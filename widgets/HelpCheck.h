#pragma once

// The help checker: a help file that is not the one this build made is read whole by
// pulopro-helpcheck, a process of its own with a time limit, before the help library may open it
// (the library trusts what it reads; a damaged file could crash it or keep it busy for ever).
// Each file's verdict is remembered by its path, size and time of change, so a file that hangs the
// library costs its time once, and never on the window's thread when checked in the background.

#include <QByteArray>
#include <QFileInfo>
#include <QStringList>

#include <functional>
#include <optional>

class QObject;

namespace pulo {

// Where the help checker is looked for: beside the program, as the build places it, and where an
// install does.
[[nodiscard]] QStringList HelpCheckerPlaces();
// The first of those that can be run; empty when none.
[[nodiscard]] QString HelpCheckerPath();

// What a check of that file (as it is now) found: whether it is sound; none before a check.
[[nodiscard]] std::optional<bool> RememberedHelpVerdict(const QFileInfo& file);

// Checks the file's bytes (a copy at copyPath), waiting for the checker's answer, and remembers it.
bool CheckHelpFileNow(const QString& checker, const QString& copyPath, const QFileInfo& file);

// Checks the file's bytes without waiting: done runs in context's thread once the verdict is
// remembered (also when the checker's time is up). A check of the same file already under way is
// not started again; done then runs at its end.
void CheckHelpFileLater(const QString& checker,
                        const QByteArray& bytes,
                        const QFileInfo& file,
                        QObject* context,
                        std::function<void()> done);

} // namespace pulo
