#pragma once
// The tool's parameters: declaration, the command line, and the copy into the
// settings.

namespace app {

// Declares the seven parameters in ToolSettings' fresh parameter set (once per
// set) and parses the arguments after argv[0]; prints the usage text when there is
// no argument, or the error line, caret line and message when the command line
// does not parse. `argv` holds `argc` (at least 1) non-null words. True when it
// parsed. Exhausted memory escapes as std::bad_alloc, here and below.
[[nodiscard]] bool TakeCommandLine(int argc, const char* const* argv);

// Copies the parsed values into ToolSettings, after a TakeCommandLine that gave
// true; an empty value keeps the default. Cannot fail otherwise.
void CopyParsedValues();

// Judges ToolSettings as copied (and the parsed texts of its numbers, which must
// hold nothing after the number but blanks), printing any warnings and the first
// error; true when the run may go on.
[[nodiscard]] bool ValidateSettings();

}  // namespace app
