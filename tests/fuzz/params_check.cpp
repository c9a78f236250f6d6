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

// After a successful parse every required parameter was given, and every typed
// one holds a type of its list with a nested set that parsed too.
void CheckValues(const params::ParameterSet& set, const SetShape& shape) {
    for (const std::string& name : shape.required) FUZZ_CHECK(set.valueOf(name) != kNeverParsed);
    for (const SetShape::Typed& typed : shape.typed) {
        const std::string& value = set.valueOf(typed.name);
        const auto type = std::find_if(typed.types.begin(), typed.types.end(),
                                       [&value](const auto& entry) { return entry.first == value; });
        FUZZ_CHECK(type != typed.types.end());
        const params::ParameterSet* nested = set.nestedOf(typed.name);
        FUZZ_CHECK(nested != nullptr);
        CheckValues(*nested, *type->second);
    }
}

}  // namespace

void ParseAndReport(const params::ParameterSet& prototype, const SetShape& shape, const std::string& text,
                    std::uint32_t usageWidth) {
    params::ParameterSet set(prototype);
    const params::ParamError code = set.parse(text);
    FUZZ_CHECK(code >= params::NoError && code <= params::CannotOpenFile);

    if (code == params::NoError) {
        CheckValues(set, shape);
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
