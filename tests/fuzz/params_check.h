#pragma once
// Parses a fuzzed command line with a parameter set and asks for everything a
// caller may ask afterwards: the values, the error line, the message and the
// usage text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "params/parameter_set.h"

// A default no parse can leave in a given parameter, since values never hold a
// quotation mark: a required parameter declared with it shows whether it was given.
inline const std::string kNeverParsed = "\"";

// What a fuzz target declared in a set, for the checks to ask about by name.
struct SetShape {
    struct Typed {
        std::string name;
        std::vector<std::pair<std::string, const SetShape*>> types;  // its type list, each with its shape
    };
    std::vector<std::string> required;  // declared Required, with the default kNeverParsed
    std::vector<Typed> typed;
};

// Parses `text` with a copy of `prototype`, whose declarations `shape` describes,
// reads back the results and checks the promises of the interface; aborts on a
// broken one.
void ParseAndReport(const params::ParameterSet& prototype, const SetShape& shape, const std::string& text,
                    std::uint32_t usageWidth);
