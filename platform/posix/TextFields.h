#pragma once

// Reading small system files and picking their text apart without the C++ streams: the program
// does it every second while a line is up, and the streams' locale machinery is a good part of
// the library's memory once touched.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace win::posix {

// At most limit bytes of the file, without waiting on a FIFO or a device that has nothing to
// say; empty when it cannot be read.
[[nodiscard]] std::string ReadAtMost(const std::string& path, std::size_t limit);

// The pieces of text between the separators (any of separators), empty pieces left out.
[[nodiscard]] std::vector<std::string_view> Fields(std::string_view text, std::string_view separators = " \t\n\r\f\v");

} // namespace win::posix
