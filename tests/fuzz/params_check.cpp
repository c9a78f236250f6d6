#include "params_check.h"

#include <algorithm>
#include <cstdio>

#include "fuzz_check.h"

namespace {

// Usage text goes nowhere; only what writing it does matters.
std::FILE* NullStream() {
    static std::FILE* const stream = std::fopen("/dev/null", "we");
    FUZZ_CHECK(stream != nullptr);
    return stream;
}

// Every given parameter with a type list holds a value of one of its types, and
// the nested set it carries parsed too.
void CheckTypedValues(const params::ParameterSet& set) {
    for (const auto& [name, decl] : set.decls()) {
        if (decl.typeList.empty() || !decl.given) continue;
        const std::string list = "|" + decl.typeList + "|";
        FUZZ_CHECK(list.find("|" + decl.value + "|") != std::string::npos);
        FUZZ_CHECK(decl.nested != nullptr);
        CheckTypedValues(*decl.nested);
    }
}

}  // namespace

void ParseAndReport(const params::ParameterSet& prototype, const std::string& text, std::uint32_t usageWidth) {
    params::ParameterSet set(prototype);
    const params::ParamError code = set.parse(text);
    FUZZ_CHECK(code >= params::NoError && code <= params::CannotOpenFile);

    if (code == params::NoError) {
        for (const auto& [name, decl] : set.decls()) {
            if (decl.flags & params::Required) FUZZ_CHECK(decl.given);
        }
        CheckTypedValues(set);
    } else {
        std::int32_t caret = -1;
        const std::string line = set.errorLine(caret);
        // The caret points into the line, or just past its end.
        FUZZ_CHECK(caret >= 0 && static_cast<std::size_t>(caret) <= line.size());
        // A long command line is cut to a window around the error.
        FUZZ_CHECK(line.size() <= std::max<std::size_t>(text.size(), 70));
        const std::string message = set.errorMessage(code);
        FUZZ_CHECK(!message.empty() && message != "No error");
    }

    // The same text parsed again by the same set gives the same answer.
    FUZZ_CHECK(set.parse(text) == code);
    set.printUsage(NullStream(), usageWidth, "");
    set.printUsage(NullStream(), 0, "  ");
}
