#pragma once

// Which programs used the line, as the command line prints it: aligned columns for people, a
// JSON array for scripts, each program's share of the line, and Other last.

#include "usage/ProgramLedger.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace pulo {

// The name Other is shown by.
inline constexpr const char* OtherProgram = "Other";

// Rows of several days (or connections) summed by program: each program's bytes, most first, and
// Other's last.
[[nodiscard]] std::vector<TProgramRow> ByProgram(const std::vector<TProgramRow>& rows);

// A program's share of everything the line carried (received and sent), in percent, rounded.
[[nodiscard]] int SharePercent(const TProgramRow& row, const std::vector<TProgramRow>& all);

// "   1.20 GB  40.0 MB   61%  firefox  /usr/lib/firefox/firefox", a line each; a first line
// names the columns.
[[nodiscard]] QByteArray ProgramsText(const std::vector<TProgramRow>& rows);
// [{"program", "path", "receivedBytes", "sentBytes"}], Other's "program" being "Other" and its
// "path" null.
[[nodiscard]] QByteArray ProgramsJson(const std::vector<TProgramRow>& rows);

} // namespace pulo
