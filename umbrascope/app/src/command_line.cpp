#include "app/command_line.h"

namespace app {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

void AppendArgument(std::string& text, const std::string& argument) {
    if (argument.empty()) {
        text += "\"\"";
        return;
    }
    for (std::size_t i = 0; i < argument.size();) {
        if (!IsBlank(argument[i])) {
            text += argument[i++];
            continue;
        }
        text += '"';
        while (i < argument.size() && IsBlank(argument[i])) text += argument[i++];
        text += '"';
    }
}

}  // namespace

std::string CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        AppendArgument(text, argv[i]);
    }
    return text;
}

}  // namespace app
