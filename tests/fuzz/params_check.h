#pragma once
// Parses a fuzzed command line with a parameter set and asks for everything a
// caller may ask afterwards: the error line, the message and the usage text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "params/parameter_set.h"

// Parses `text` with a copy of `prototype`, reads back the results and checks the
// promises of the interface; aborts on a broken one.
void ParseAndReport(const params::ParameterSet& prototype, const std::string& text, std::uint32_t usageWidth);
