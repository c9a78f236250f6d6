#pragma once
// The shape both companions' main takes once their command line is parsed: help and
// version on standard output, usage and mistakes on standard error, else the run.
#include <cstdio>
#include <functional>
#include <string>

#include "cli/command_line.h"

namespace cli {

struct ProgramTexts {
    const char* name;  // as it prefixes each line on standard error
    std::function<std::string()> help, version, usage;
};

struct ProgramCodes {
    int success, badCommand, writeFailed, outOfMemory;
};

// Acts on `action`: Help and Version print their text on `out` (writeFailed, with a
// line on `err`, when it cannot be written: the text is what was asked for); Usage
// prints the usage on `err`; Error prints "NAME: `error`" and the usage on `err`
// (both badCommand); Run returns what `run` returns. Exhausted memory anywhere is
// "NAME: stopped: Ran out of memory" and outOfMemory. Never throws.
int ActOnCommandLine(const ProgramTexts& texts, const ProgramCodes& codes, CommandLineAction action,
                     const std::string& error, const std::function<int()>& run, std::FILE* out, std::FILE* err);

}  // namespace cli
