#pragma once

// The boundary between a user-interface handler and the event loop. A handler that raises
// (a settings file that cannot be written, a log that cannot be loaded) ends there; the
// program's error reporter shows the message and the program goes on. No exception ever
// reaches Qt's event loop.

#include <QString>

#include <functional>

namespace pulo {

using ErrorReporter = std::function<void(const QString& message)>;

// Installs the reporter (the program shows a message box; tests record). Without one the
// message goes to the standard error stream.
void SetErrorReporter(ErrorReporter reporter);

// Shows a message through the reporter without ending anything.
void ShowErrorMessage(const QString& message);

// Runs the handler; returns false when it raised, after the message has been reported.
bool RunGuarded(const std::function<void()>& handler);

} // namespace pulo
