#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "params/parameter_set.h"

// The tool's seven parameters, declared as the tool declares them.
inline params::ParameterSet toolParameters() {
    params::ParameterSet set;
    set.skipUndeclared = false;
    set.setUsageHeader("\nUsage: umbrascope.exe ");
    set.declare("HMfname", 'H', params::Required, "HeightMap  filename", "", "");
    set.declare("TMfname", 'T', params::Required, "TreeMap  filename", "", "");
    set.declare("Outfname", 'o', 0, "HorizonMap  filename", "", "");
    set.declare("OutRez", 'r', 0, "HorizonMap rezolution", "", "");
    set.declare("Height", 'h', 0, "Height koeficient", "", "");
    set.declare("TerraSize", 's', 0, "Map size (metres)", "", "");
    set.declare("HeightZero", 'z', 0, "Height Zero Point (metres)", "", "");
    return set;
}

// Shapes with parameters two levels deep: a square carries a fill, and a
// hatched fill carries an angle.
inline params::ParameterSet shapeParameters() {
    params::ParameterSet hatch;
    hatch.skipUndeclared = false;
    hatch.declare("angle", 'a', 0, "Hatch angle", "90");
    params::ParameterSet square;
    square.skipUndeclared = false;
    square.declare("side", 's', params::Required, "Side length");
    square.declare("fill", 'f', 0, "Fill: @types@", "solid", "solid|hatch");
    square.addType("solid", params::ParameterSet());
    square.addType("hatch", hatch);
    params::ParameterSet circle;
    circle.declare("radius", 'r', 0, "Radius", "1");

    params::ParameterSet set;
    set.skipUndeclared = false;
    set.declare("shape", 's', 0, "Shape: @types@", "circle", "circle|square|oval");
    set.declare("verbose", 'v', params::Switch, "Talk more");
    set.addType("circle", circle);
    set.addType("square", square);
    return set;
}

// Everything printUsage writes, as one text.
inline std::string usageText(const params::ParameterSet& set, std::uint32_t width, const std::string& prefix = "") {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    set.printUsage(stream, width, prefix);
    std::fclose(stream);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}
