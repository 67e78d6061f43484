#pragma once
// The run log an operator reads after the fact: plain UTF-8 lines appended to one file, each
// with the time and the process id. Every call is safe from any thread and never fails loudly:
// a log that cannot be written is simply not written.
#include <cstdint>
#include <string>

#include "support/failure.h"

// Where the log goes when no --log= names a file: %TEMP%\Quorvel Setup.log (empty if the
// temporary folder is unknown).
std::wstring DefaultLogPath();
// Starts logging to path (appending). A file already past 1 MiB that this program wrote is first
// moved to path + ".old" (replacing an older log of its own), so the log never holds more than
// about 2 MiB; another program's file is appended to and never moved. Empty path: no log.
void LogOpen(const std::wstring& path);
// Appends one line.
void LogLine(const std::wstring& text);
// Appends one line with the Windows error code and the system's message for it (none for 0).
void LogFailure(const std::wstring& text, uint32_t systemError);
// Appends context, the player's text of failure, its Windows error and, in brackets, the
// record's own wording, path and HTTP status.
void LogFailure(const std::wstring& context, const Failure& failure);
