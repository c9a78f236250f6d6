#pragma once
// The maps the soak feeds the tool, written once into <work>/maps: small height
// and tree maps in several formats and shapes, names that need quoting, and files
// that are no image at all.
#include <string>
#include <vector>

struct MapFile {
    std::string path;  // as the tool is to open it, relative to a run's directory
};

struct MapSet {
    std::vector<MapFile> heightMaps;  // load fine
    std::vector<MapFile> treeMaps;    // load fine
    std::vector<MapFile> broken;      // exist, but the loader refuses them
    std::vector<MapFile> missing;     // do not exist
};

// Writes the maps under `workDirectory`/maps; runs happen one level below the work
// directory, so the paths start with "../maps/".
MapSet WriteSoakMaps(const std::string& workDirectory);
