#pragma once

// Files the program keeps (settings, log) are replaced whole: the new text goes to a temporary
// file beside the old one, every byte checked, synced, renamed over the old file, and the
// folder synced. A full disk, a refused write or a crash at any moment leaves the old file as
// it was, and no temporary file is left behind by a failure.

#include "platform/Win32.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace win {

// Returns ERROR_SUCCESS once the new text is in place; otherwise ERROR_ACCESS_DENIED,
// ERROR_FILE_NOT_FOUND (no such folder), ERROR_DISK_FULL or ERROR_WRITE_FAULT, with the old
// file untouched. The old file's owner and permissions carry over to the new one. A path that
// is a symbolic link replaces the file the link points to.
[[nodiscard]] DWORD ReplaceFileAtomically(const std::string& path, std::string_view bytes);
// The same, the new file made of the first keep bytes of source (the old file, open for reading)
// followed by bytes: a long file whose end alone changes is copied, never read into memory.
[[nodiscard]] DWORD
ReplaceFileKeepingStart(const std::string& path, int source, std::uint64_t keep, std::string_view bytes);

// Removes the temporary files that writes of path left behind when the program was killed
// mid-write: only files named as this program names them, and only those older than age.
// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& path, std::chrono::seconds age = std::chrono::minutes(10));

// The mark in a temporary file's name: "pulopro.ini" is written through "pulopro.ini.pulotmp-XXXXXX".
inline constexpr std::string_view TemporaryMark = ".pulotmp-";

} // namespace win
