#pragma once
// Console services of the run: formatted output, the failure beep, the key wait,
// the desktop window handle and the millisecond tick count.
#include <cstdint>
#include <string>

using HWND = void*;

// printf to standard output, flushed at once so progress shows as it happens.
// `format` must be a printf format (not null) matching the arguments. Never fails:
// a write that fails (a reader that has gone, a full or closed output) is dropped
// silently and the next print tries afresh; the console is a report, the files are
// the product.
void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Makes a broken console harmless to the run, before anything is printed: SIGPIPE is
// ignored, so writing to a reader that has gone fails with EPIPE instead of ending
// the process, and a closed standard stream is pointed at /dev/null, so that no file
// the run opens takes its number and receives the console's text. Call it once, at
// the start of main; what it cannot change stays as it was.
void ProtectStandardStreams();

// Waits for one key press without echo when standard input is a terminal; returns
// at once, reading nothing, when it is not (pipes, scripts, CI never hang). The
// terminal's settings are restored however the wait ends: a key, or SIGINT,
// SIGTERM, SIGHUP or SIGQUIT, which then end the process as they would have.
void WaitForKey();

// The failure beep: a BEL to the controlling terminal when there is one, never to
// standard output or standard error. `type` is accepted as given (48: exclamation).
void MessageBeep(unsigned type);

// A non-null opaque window handle; nothing on this platform draws into it. Never fails.
HWND GetDesktopWindow();

// Milliseconds of a monotonic clock, wrapping at 2^32 like the 32-bit tick count:
// take differences in unsigned 32-bit arithmetic. Never fails.
std::uint32_t GetTickCount();
