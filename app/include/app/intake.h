#pragma once

namespace app {

// The tool's parameters: declaration, the command line, and the copy into the
// settings.

// Declares the seven parameters; prints the usage text when there is no argument,
// or the error line, caret line and message when the command line does not parse.
// True when it parsed.
[[nodiscard]] bool TakeCommandLine(int argc, const char* const* argv);

// Copies the parsed values into ToolSettings; an empty value keeps the default.
void CopyParsedValues();

// Judges ToolSettings as copied, printing any warnings and the first error; true
// when the run may go on.
[[nodiscard]] bool ValidateSettings();

}  // namespace app
