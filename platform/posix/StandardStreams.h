#pragma once

// A program started with standard output closed (">&-") would have the next file it opens take
// that number, and its answer would be written into that file. So before anything is opened,
// each closed standard stream is noted and /dev/null holds its place.

namespace win::posix {

// Call first thing in main; returns whether standard output was closed.
[[nodiscard]] bool ReserveStandardStreams();

} // namespace win::posix
