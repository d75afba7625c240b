#pragma once

// SIGTERM, SIGINT and SIGHUP (a shutdown, Ctrl+C, a closed terminal) turned into a readable
// descriptor, so that the program ends from its own event loop, between two handlers, rather
// than in the middle of writing a file.

namespace win::posix {

// Installs the handlers once and returns the descriptor that becomes readable when one of the
// signals arrives; -1 when no pipe could be had (the signals then keep their default action).
[[nodiscard]] int ExitSignalDescriptor();

// Empties the descriptor after a signal was seen.
void DrainExitSignals(int descriptor);

} // namespace win::posix
