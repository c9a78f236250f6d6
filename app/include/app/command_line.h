#pragma once
// The command-line text handed to the parser, rebuilt from the shell's words.
#include <string>

namespace app {

// The arguments after the program name joined by single blanks. Inside an
// argument every run of blanks, tabs and line feeds is wrapped in quotation marks,
// so that a word quoted in the shell stays one word; an empty argument becomes "".
// Everything else, quotation marks included, passes through unchanged.
std::string CommandLineText(int argc, const char* const* argv);

}  // namespace app
