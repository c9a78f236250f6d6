#pragma once
// Parameter sets that the tests and the fuzz targets parse with.
#include <cstdlib>
#include <string>

#include "params/parameter_set.h"

// A fixture whose declarations fail is a slip in the fixture: stop at once.
inline void mustSucceed(params::ParamError code) {
    if (code != params::NoError) std::abort();
}

// Seven plain parameters declared the way the tool declares its own: two
// required, five optional, letters that differ only in case, undeclared names
// refused. requiredDefault is the default of the two required ones (the
// tool's is empty).
inline params::ParameterSet toolParameters(const std::string& requiredDefault = "") {
    params::ParameterSet set;
    set.skipUndeclared = false;
    set.setUsageHeader("\nUsage: umbrascope.exe ");
    mustSucceed(set.declare("HMfname", 'H', params::Required, "HeightMap  filename", requiredDefault));
    mustSucceed(set.declare("TMfname", 'T', params::Required, "TreeMap  filename", requiredDefault));
    mustSucceed(set.declare("Outfname", 'o', 0, "HorizonMap  filename"));
    mustSucceed(set.declare("OutRez", 'r', 0, "HorizonMap rezolution"));
    mustSucceed(set.declare("Height", 'h', 0, "Height koeficient"));
    mustSucceed(set.declare("TerraSize", 's', 0, "Map size (metres)"));
    mustSucceed(set.declare("HeightZero", 'z', 0, "Height Zero Point (metres)"));
    return set;
}

// Shapes with parameters two levels deep: a square carries a fill, and a
// hatched fill carries an angle.
inline params::ParameterSet shapeParameters() {
    params::ParameterSet hatch;
    hatch.skipUndeclared = false;
    mustSucceed(hatch.declare("angle", 'a', 0, "Hatch angle", "90"));
    params::ParameterSet square;
    square.skipUndeclared = false;
    mustSucceed(square.declare("side", 's', params::Required, "Side length"));
    mustSucceed(square.declare("fill", 'f', 0, "Fill: @types@", "solid", "solid|hatch"));
    mustSucceed(square.addType("solid", params::ParameterSet()));
    mustSucceed(square.addType("hatch", hatch));
    params::ParameterSet circle;
    mustSucceed(circle.declare("radius", 'r', 0, "Radius", "1"));

    params::ParameterSet set;
    set.skipUndeclared = false;
    mustSucceed(set.declare("shape", 's', 0, "Shape: @types@", "circle", "circle|square|oval"));
    mustSucceed(set.declare("verbose", 'v', params::Switch, "Talk more"));
    mustSucceed(set.addType("circle", circle));
    mustSucceed(set.addType("square", square));
    return set;
}
