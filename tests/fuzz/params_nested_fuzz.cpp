// The parameter library with switches, positional values and typed values whose
// bracketed sets nest three deep, once refusing and once skipping undeclared names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "params_check.h"

namespace {

params::ParameterSet NestedParameters(bool skipUndeclared) {
    params::ParameterSet leaf;
    leaf.skipUndeclared = skipUndeclared;
    FUZZ_CHECK(leaf.declare("weight", 'w', params::Positional, "Weight", "1") == params::NoError);
    FUZZ_CHECK(leaf.declare("tag", 't', params::Switch, "Tagged") == params::NoError);

    params::ParameterSet twig;
    twig.skipUndeclared = skipUndeclared;
    FUZZ_CHECK(twig.declare("length", 'l', params::Positional | params::Required, "Length") == params::NoError);
    FUZZ_CHECK(twig.declare("end", 'e', 0, "End: @types@", "leaf", "leaf|bud") == params::NoError);
    FUZZ_CHECK(twig.addType("leaf", leaf) == params::NoError);
    FUZZ_CHECK(twig.addType("bud", params::ParameterSet()) == params::NoError);

    params::ParameterSet branch;
    branch.skipUndeclared = skipUndeclared;
    FUZZ_CHECK(branch.declare("size", 's', params::Positional | params::Required, "Size") == params::NoError);
    FUZZ_CHECK(branch.declare("angle", 'a', 0, "Angle", "90") == params::NoError);
    FUZZ_CHECK(branch.declare("fork", 'f', params::Switch, "Forks") == params::NoError);
    FUZZ_CHECK(branch.declare("child", 'c', 0, "Child: @types@", "twig", "twig|leaf") == params::NoError);
    FUZZ_CHECK(branch.addType("twig", twig) == params::NoError);
    FUZZ_CHECK(branch.addType("leaf", leaf) == params::NoError);

    params::ParameterSet set;
    set.skipUndeclared = skipUndeclared;
    set.setUsageHeader("\nUsage: tree ");
    set.setUsageFooter("Trees are grown from the bottom up.\n");
    FUZZ_CHECK(set.declare("input", 'i', params::Positional | params::Required, "Input file") == params::NoError);
    FUZZ_CHECK(set.declare("output", 'o', params::Positional, "Output file", "out.txt") == params::NoError);
    FUZZ_CHECK(set.declare("verbose", 'v', params::Switch, "Talk more") == params::NoError);
    FUZZ_CHECK(set.declare("quiet", 'q', params::Switch, "Talk less") == params::NoError);
    FUZZ_CHECK(set.declare("shape", 'S', 0, "Shape: @types@", "plain", "plain|branch|leaf") == params::NoError);
    FUZZ_CHECK(set.declare("a-long-name-for-the-usage", 'L', 0,
                           "A description long enough to be wrapped over several lines of the usage text, "
                           "whatever the width asked for") == params::NoError);
    FUZZ_CHECK(set.addType("plain", params::ParameterSet()) == params::NoError);
    FUZZ_CHECK(set.addType("branch", branch) == params::NoError);
    FUZZ_CHECK(set.addType("leaf", leaf) == params::NoError);
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const params::ParameterSet strict = NestedParameters(false);
    static const params::ParameterSet lenient = NestedParameters(true);
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Narrow widths too: wrapping must cope with columns wider than the line.
    const auto width = static_cast<std::uint32_t>(size % 131);
    ParseAndReport(strict, text, width);
    ParseAndReport(lenient, text, width);
    return 0;
}
