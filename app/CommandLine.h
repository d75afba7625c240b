#pragma once

// The command line, for scripts and status bars: --help, --version, --status (--json),
// --export csv|json [--from YYYY-MM-DD] [--to YYYY-MM-DD]. It runs without a display and
// without the window, reading the usage history read-only, so it may run beside the program.
// Exit status: 0, 1 on an error (one line on standard error), 2 on a usage error. Messages and
// --version carry the application's name (pulopro, or pulopro-demo on its own files).

#include <QStringList>

#include <optional>

namespace pulo {

// Whether the arguments ask for the command line rather than the window.
[[nodiscard]] bool WantsCommandLine(int argc, char** argv);
// Does what the arguments ask; returns the exit status. outputClosed: standard output was closed
// when the program started (nothing printed can reach anyone: a failure).
[[nodiscard]] int RunCommandLine(const QStringList& arguments, bool outputClosed = false);

} // namespace pulo
