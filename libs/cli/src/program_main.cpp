#include "cli/program_main.h"

#include <new>

namespace cli {

namespace {

int Act(const ProgramTexts& texts, const ProgramCodes& codes, CommandLineAction action, const std::string& error,
        const std::function<int()>& run, std::FILE* out, std::FILE* err) {
    const auto print = [&](const std::string& text) {
        if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) return codes.success;
        std::fprintf(err, "%s: cannot write to standard output\n", texts.name);
        return codes.writeFailed;
    };
    switch (action) {
        case CommandLineAction::Help: return print(texts.help());
        case CommandLineAction::Version: return print(texts.version());
        case CommandLineAction::Usage: std::fputs(texts.usage().c_str(), err); return codes.badCommand;
        case CommandLineAction::Error:
            std::fprintf(err, "%s: %s\n", texts.name, error.c_str());
            std::fputs(texts.usage().c_str(), err);
            return codes.badCommand;
        case CommandLineAction::Run: break;
    }
    return run();
}

}  // namespace

int ActOnCommandLine(const ProgramTexts& texts, const ProgramCodes& codes, CommandLineAction action,
                     const std::string& error, const std::function<int()>& run, std::FILE* out, std::FILE* err) {
    try {
        return Act(texts, codes, action, error, run, out, err);
    } catch (const std::bad_alloc&) {
        // Allocates nothing.
        std::fputs(texts.name, err);
        std::fputs(": stopped: Ran out of memory\n", err);
        return codes.outOfMemory;
    }
}

}  // namespace cli
