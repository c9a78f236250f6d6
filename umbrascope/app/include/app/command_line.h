#pragma once
// The command-line text handed to the parser, rebuilt from the shell's words.
#include <string>

namespace app {

// The arguments after the program name joined by single blanks. Inside an
// argument every run of blanks, tabs and line feeds is wrapped in quotation marks,
// so that a word quoted in the shell stays one word; an empty argument becomes "".
// Everything else, quotation marks included, passes through unchanged. `argv` holds
// `argc` non-null words (argc 0 or 1 gives an empty text). Exhausted memory escapes
// as std::bad_alloc.
std::string CommandLineText(int argc, const char* const* argv);

}  // namespace app
