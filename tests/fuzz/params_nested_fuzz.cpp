// The parameter library with switches, positional values and typed values whose
// bracketed sets nest three deep, once refusing and once skipping undeclared names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "params_check.h"

namespace {

using params::NoError;
using params::ParameterSet;
using params::Positional;
using params::Required;
using params::Switch;

// The shapes of the sets below, type by type.
const SetShape kEmpty{};
const SetShape kLeaf{};
const SetShape kTwig{{"length"}, {{"end", {{"leaf", &kLeaf}, {"bud", &kEmpty}}}}};
const SetShape kBranch{{"size"}, {{"child", {{"twig", &kTwig}, {"leaf", &kLeaf}}}}};
const SetShape kTree{{"input"}, {{"shape", {{"plain", &kEmpty}, {"branch", &kBranch}, {"leaf", &kLeaf}}}}};

ParameterSet NestedParameters(bool skipUndeclared) {
    ParameterSet leaf;
    leaf.skipUndeclared = skipUndeclared;
    FUZZ_CHECK(leaf.declare("weight", 'w', Positional, "Weight", "1") == NoError);
    FUZZ_CHECK(leaf.declare("tag", 't', Switch, "Tagged") == NoError);

    ParameterSet twig;
    twig.skipUndeclared = skipUndeclared;
    FUZZ_CHECK(twig.declare("length", 'l', Positional | Required, "Length", kNeverParsed) == NoError);
    FUZZ_CHECK(twig.declare("end", 'e', 0, "End: @types@", "leaf", "leaf|bud") == NoError);
    FUZZ_CHECK(twig.addType("leaf", leaf) == NoError);
    FUZZ_CHECK(twig.addType("bud", ParameterSet()) == NoError);

    ParameterSet branch;
    branch.skipUndeclared = skipUndeclared;
    FUZZ_CHECK(branch.declare("size", 's', Positional | Required, "Size", kNeverParsed) == NoError);
    FUZZ_CHECK(branch.declare("angle", 'a', 0, "Angle", "90") == NoError);
    FUZZ_CHECK(branch.declare("fork", 'f', Switch, "Forks") == NoError);
    FUZZ_CHECK(branch.declare("child", 'c', 0, "Child: @types@", "twig", "twig|leaf") == NoError);
    FUZZ_CHECK(branch.addType("twig", twig) == NoError);
    FUZZ_CHECK(branch.addType("leaf", leaf) == NoError);

    ParameterSet set;
    set.skipUndeclared = skipUndeclared;
    set.setUsageHeader("\nUsage: tree ");
    set.setUsageFooter("Trees are grown from the bottom up.\n");
    FUZZ_CHECK(set.declare("input", 'i', Positional | Required, "Input file", kNeverParsed) == NoError);
    FUZZ_CHECK(set.declare("output", 'o', Positional, "Output file", "out.txt") == NoError);
    FUZZ_CHECK(set.declare("verbose", 'v', Switch, "Talk more") == NoError);
    FUZZ_CHECK(set.declare("quiet", 'q', Switch, "Talk less") == NoError);
    FUZZ_CHECK(set.declare("shape", 'S', 0, "Shape: @types@", "plain", "plain|branch|leaf") == NoError);
    FUZZ_CHECK(set.declare("a-long-name-for-the-usage", 'L', 0,
                           "A description long enough to be wrapped over several lines of the usage text, "
                           "whatever the width asked for") == NoError);
    FUZZ_CHECK(set.addType("plain", ParameterSet()) == NoError);
    FUZZ_CHECK(set.addType("branch", branch) == NoError);
    FUZZ_CHECK(set.addType("leaf", leaf) == NoError);
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ParameterSet strict = NestedParameters(false);
    static const ParameterSet lenient = NestedParameters(true);
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Narrow widths too: wrapping must cope with columns wider than the line.
    const auto width = static_cast<std::uint32_t>(size % 131);
    ParseAndReport(strict, kTree, text, width);
    ParseAndReport(lenient, kTree, text, width);
    return 0;
}
