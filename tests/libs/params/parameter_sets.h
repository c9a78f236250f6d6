#pragma once
// Parameter sets that the tests and the fuzz targets parse with.
#include <cstdlib>
#include <string>

#include "params/parameter_set.h"
#include "settings/tool_parameters.h"

// A fixture whose declarations fail is a slip in the fixture: stop at once.
inline void MustSucceed(params::ParamError code) {
    if (code != params::NoError) std::abort();
}

// The tool's seven parameters, declared as the tool declares them: two required,
// five optional, letters that differ only in case, undeclared names refused.
// requiredDefault is the default of the two required ones (the tool's is empty).
inline params::ParameterSet ToolParameters(const std::string& requiredDefault = "") {
    params::ParameterSet set;
    set.skipUndeclared = false;
    set.setUsageHeader(kToolUsageHeader);
    for (const ToolParameter& p : kToolParameters)
        MustSucceed(set.declare(p.name, p.letter, p.required ? std::uint32_t{params::Required} : 0u, p.description,
                                p.required ? requiredDefault : ""));
    return set;
}

// Shapes with parameters two levels deep: a square carries a fill, and a
// hatched fill carries an angle.
inline params::ParameterSet ShapeParameters() {
    params::ParameterSet hatch;
    hatch.skipUndeclared = false;
    MustSucceed(hatch.declare("angle", 'a', 0, "Hatch angle", "90"));
    params::ParameterSet square;
    square.skipUndeclared = false;
    MustSucceed(square.declare("side", 's', params::Required, "Side length"));
    MustSucceed(square.declare("fill", 'f', 0, "Fill: @types@", "solid", "solid|hatch"));
    MustSucceed(square.addType("solid", params::ParameterSet()));
    MustSucceed(square.addType("hatch", hatch));
    params::ParameterSet circle;
    MustSucceed(circle.declare("radius", 'r', 0, "Radius", "1"));

    params::ParameterSet set;
    set.skipUndeclared = false;
    MustSucceed(set.declare("shape", 's', 0, "Shape: @types@", "circle", "circle|square|oval"));
    MustSucceed(set.declare("verbose", 'v', params::Switch, "Talk more"));
    MustSucceed(set.addType("circle", circle));
    MustSucceed(set.addType("square", square));
    return set;
}
