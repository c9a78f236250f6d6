#include "export/export_usage.h"

#include <cstdio>

#include "encode/compression.h"
#include "settings/tool_parameters.h"

namespace exporter {

std::string ExportUsage() {
    return "Usage: umbrascope-export [options] <horizon map.dds>\n"
           "Try 'umbrascope-export --help' for the options.\n";
}

namespace {

// A default as the help text shows it: "100", "5000", "0".
std::string Shown(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

}  // namespace

std::string ExportHelp() {
    return std::string(
               "Usage: umbrascope-export [options] <horizon map.dds>\n"
               "\n"
               "Reads level 0 of a horizon map written by umbrascope (DDS, FourCC 116: four\n"
               "32-bit floats per texel) and writes what the options ask for. Red looks along\n"
               "increasing rows (down the image), green along decreasing rows (up the image).\n"
               "\n"
               "Outputs (at least one; -c and -a may be given more than once):\n"
               "  -p, --preview=PREFIX   grey PNG previews PREFIX.red.png, PREFIX.green.png and\n"
               "                         PREFIX.both.png (red left, green right)\n"
               "      --16-bit           16-bit PNGs instead of 8-bit\n"
               "      --range=DEG        the horizon angle shown black (default 45)\n"
               "      --shrink=K         previews and --height-png K times smaller, each pixel\n"
               "                         the mean of K x K (default 1)\n"
               "  -c, --channels=FILE    red, green and blue of level 0 as 32-bit floats, bit\n"
               "                         for bit; FILE ends in .exr, .tif or .tiff\n"
               "  -a, --angles=FILE      the horizon elevation angle in degrees per texel and\n"
               "                         direction; FILE ends in .exr, .tif or .tiff; needs -H\n"
               "      --height-png=FILE  the height map as loaded at the horizon map's size,\n"
               "                         lowest black, highest white; needs -H\n"
               "      --viewer=FILE      one HTML page (WebGL2, no network) showing the terrain\n"
               "                         in 3D under a sun moving along the rows, with the\n"
               "                         shadows the map predicts; needs -H\n"
               "      --viewer-size=N    the page's mesh: at most N x N points (default 512)\n"
               "      --shade=FILE       the height map lit by a sun in the row direction, in\n"
               "                         cast shadow where the horizon rises above it; FILE\n"
               "                         ends in .png, .tif or .tiff; needs -H and --sun\n"
               "      --sun=DEG          the sun's elevation, ahead along increasing rows (as\n"
               "                         red looks); a negative one, along decreasing rows\n"
               "      --from=red|green   green: the sun along decreasing rows (default red)\n"
               "\n"
               "      --uncompressed     write the samples unpacked: faster where the disk\n"
               "                         outpaces the packing (see below)\n"
               "\n"
               "Packing, for speed: float TIFFs zstd at level ") +
           std::to_string(encode::kFloatTiffZstdLevel) +
           " after the floating-point\n"
           "predictor, grey TIFFs zstd at level " +
           std::to_string(encode::kGreyTiffZstdLevel) +
           " after the horizontal predictor, EXR\n"
           "files RLE, PNGs deflated after the Up filter by the companion's own run\n"
           "encoder (a run of one byte a match at distance 1, each block its own Huffman\n"
           "codes). When -H is a GeoTIFF, the TIFFs carry its coordinate system and its\n"
           "extent; every TIFF names its bands for GDAL.\n"
           "\n"
           "The terrain, as given to the umbrascope run (same letters, same defaults):\n"
           "  -H, --HMfname=FILE     the height map\n"
           "  -h, --Height=M         metres per unit of the height map's value (" +
           Shown(kToolDefaults.Height) +
           ")\n"
           "  -s, --TerraSize=M      side of the whole map in metres (" +
           Shown(kToolDefaults.TerraSize) +
           ")\n"
           "  -z, --HeightZero=M     elevation in metres where the value is 0 (" +
           Shown(kToolDefaults.HeightZero) +
           ")\n"
           "\n"
           "      --help             this text\n"
           "      --version          the version\n"
           "\n"
           "Previews: open texels (stored 0.999) and the rows with no terrain ahead are\n"
           "white, trees (0.001 in both channels) black, any other texel of stored value v\n"
           "has the grey 1 - min(acos(v) in degrees, DEG) / DEG.\n"
           "\n"
           "Angle files hold four channels, in this order in a TIFF: forward and backward,\n"
           "the angle in degrees (NaN where there is none), and forwardKind and\n"
           "backwardKind: 0 horizon; 1 faint (rises by less than the stored value can\n"
           "tell, under 0.04 degrees: angle 0); 2 ambiguous (a texel below 0 m\n"
           "with a low horizon, where both signs of the q the value lost fit; the larger\n"
           "angle is given); 3 open (0.999, nothing rises); 4 tree (0.001); 5 edge (last\n"
           "row forward, first row backward: no terrain ahead); 6 unfit (no rising slope\n"
           "gives the value: check -h, -s and -z). A 0.999 with higher ground ahead in\n"
           "the height map is a real horizon that rounded to it, and gets its angle.\n"
           "\n"
           "Exit codes: 0 success; 2 an input cannot be read (missing, not such a DDS, cut\n"
           "short, a height map that does not load), or too little memory; 6 an output\n"
           "name is refused or is an input, or a file cannot be written; 7 no arguments,\n"
           "a bad command line or bad settings. Every name and input is checked before\n"
           "the first file is written.\n"
           "Every file is written beside its name and renamed over it when complete.\n";
}

std::string ExportVersion() { return std::string("umbrascope-export ") + UMBRASCOPE_VERSION + "\n"; }

}  // namespace exporter
