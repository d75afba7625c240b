#pragma once

// What the command line prints and how it ends: its exit statuses, its answer on standard output
// (one that did not all get out is a failure) and its one-line messages on standard error.

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace pulo::cli {

constexpr int Success = 0;
constexpr int Failure = 1;
constexpr int UsageError = 2;
// --check: past a threshold of the download limit, past the limit itself.
constexpr int PastThreshold = 3;
constexpr int PastLimit = 4;

// Standard output was closed when the program started: nothing printed can reach anyone.
void OutputWasClosed();
// False when not all of it reached the stream (a closed output, a full disk).
[[nodiscard]] bool Write(std::FILE* stream, const QByteArray& text);
// The message on standard error, with the program's name; returns status.
int Refuse(int status, const QString& message);
// "cannot write to standard output: ..." on standard error; returns Failure.
int OutputFailed();
// What the program printed is its answer: one that did not all get out is a failure.
int Answer(std::FILE* stream, const QByteArray& text);
// A value echoed in a message is cut short: it may be anything a script passed.
[[nodiscard]] QString Shown(const QString& value);

} // namespace pulo::cli
