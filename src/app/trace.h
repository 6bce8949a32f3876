#pragma once

namespace tovik {

// Timing marks for the benchmarks: with TOVIK_TRACE=1 in the environment each mark writes
// "tovik-trace: <ms since the last start> <what>" to stderr; otherwise nothing happens.
namespace trace {

bool enabled();
// Restarts the clock of the marks.
void start(const char* what);
void mark(const char* what);
// Marks the first paint of a widget named `objectName` after each start.
void markFirstPaint(const char* objectName);

} // namespace trace
} // namespace tovik
