#pragma once

// Reading the files the program keeps (settings, log) whole, safely whatever the path names: a
// FIFO, a device or a directory is refused without blocking, and the read is bounded by the
// bytes actually read, never by the size the file reports.

#include "platform/Win32.h"

#include <cstddef>
#include <string>

namespace win {

struct FileRead
{
    DWORD Error = ERROR_SUCCESS; // ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_FILE_TOO_LARGE
    std::string Bytes;
};

// The whole file in one pass; on failure the bytes are empty and Error says why: anything but a
// regular file is ERROR_ACCESS_DENIED, one longer than limit bytes ERROR_FILE_TOO_LARGE.
[[nodiscard]] FileRead ReadRegularFile(const std::string& path, std::size_t limit);

} // namespace win
