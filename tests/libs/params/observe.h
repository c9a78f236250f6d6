#pragma once
// What a caller can see of a parameter set, for the table-driven tests: parse
// outcomes, values inside nested sets, the error line and the usage text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "params/parameter_set.h"

// The value at a path of names joined by "/": "shape/fill/angle" is the angle
// in the nested set of fill, in the nested set of shape.
inline std::string ValueAt(const params::ParameterSet& set, const std::string& path) {
    const std::size_t slash = path.find('/');
    if (slash == std::string::npos) return set.valueOf(path);
    const params::ParameterSet* nested = set.nestedOf(path.substr(0, slash));
    if (nested == nullptr) return "(no nested set)";
    return ValueAt(*nested, path.substr(slash + 1));
}

// A command line that parses, and values it must leave (paths as for ValueAt).
struct Accepted {
    std::string text;
    std::vector<std::pair<std::string, std::string>> values;
};

// A command line that fails: the code, the message the user reads, and the
// caret column under the line. Texts stay short enough to be shown whole.
struct Refused {
    std::string text;
    params::ParamError code;
    std::string message;
    std::int32_t caret;
};

inline void ExpectAccepted(params::ParameterSet& set, const Accepted& c) {
    SCOPED_TRACE(c.text);
    const params::ParamError code = set.parse(c.text);
    ASSERT_EQ(code, params::NoError) << set.errorMessage(code);
    for (const auto& [path, value] : c.values) EXPECT_EQ(ValueAt(set, path), value) << path;
}

inline void ExpectRefused(params::ParameterSet& set, const Refused& c) {
    SCOPED_TRACE(c.text);
    ASSERT_LE(c.text.size(), 70u) << "a longer line is cut; see the error line tests";
    ASSERT_EQ(set.parse(c.text), c.code);
    EXPECT_EQ(set.errorMessage(c.code), c.message);
    std::int32_t caret = -1;
    EXPECT_EQ(set.errorLine(caret), c.text);
    EXPECT_EQ(caret, c.caret);
}

// Whether an error line and its caret show text, whole or as a piece marked
// "..." where it was cut, with the caret under the character at position (or
// just past the line when position is the end of the text). Without a
// position, whether they show some place of the text that way.
inline testing::AssertionResult ShowsPlaceIn(const std::string& text, const std::string& line, std::int32_t caret,
                                             std::optional<std::size_t> position = std::nullopt) {
    const auto fail = [&] {
        return testing::AssertionFailure()
               << "line \"" << line << "\" caret " << caret << " for a text of " << text.size() << " characters";
    };
    const std::string cut = "...";
    const bool whole = line == text;
    const std::size_t lead = !whole && line.starts_with(cut) ? cut.size() : 0;
    const std::size_t trail = !whole && line.ends_with(cut) ? cut.size() : 0;
    if (!whole && lead + trail == 0) return fail() << ": neither the text nor a cut piece of it";
    // Past the last shown character only when nothing was cut after it.
    const std::size_t caretLimit = trail == 0 ? line.size() : line.size() - trail - 1;
    if (caret < static_cast<std::int32_t>(lead) || static_cast<std::size_t>(caret) > caretLimit)
        return fail() << ": the caret is off the shown text";
    const std::string piece = line.substr(lead, line.size() - lead - trail);
    const std::size_t offset = static_cast<std::size_t>(caret) - lead;  // caret within the piece

    for (std::size_t start = 0; start + piece.size() <= text.size(); ++start) {
        // A cut mark stands exactly where characters were left out.
        if ((lead == 0) != (start == 0) || (trail == 0) != (start + piece.size() == text.size())) continue;
        if (position && start + offset != *position) continue;
        if (text.compare(start, piece.size(), piece) == 0) return testing::AssertionSuccess();
    }
    return fail() << (position ? ": not under the character at " + std::to_string(*position) : ": no place fits");
}

// Everything printUsage writes, as one text.
inline std::string UsageText(const params::ParameterSet& set, std::uint32_t width, const std::string& prefix = "") {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    set.printUsage(stream, width, prefix);
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}
