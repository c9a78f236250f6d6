#include "sky/sky_usage.h"

namespace sky {

std::string SkyUsage() {
    return "Usage: umbrascope-sky DEM [options]\n"
           "Try 'umbrascope-sky --help' for the options.\n";
}

std::string SkyHelp() {
    return "Usage: umbrascope-sky DEM [options]\n"
           "\n"
           "Horizon angles of every texel of a DEM in many directions, exact for the\n"
           "sampling model below, and what follows from them.\n"
           "\n"
           "The DEM (any raster GDAL reads, by any name GDAL takes: GeoTIFF, .hgt, .asc,\n"
           "VRT, /vsizip/..., or a RAW height map), at its own size:\n"
           "  --band=N             the band to read (default 1)\n"
           "  --cell=X[,Y]         texel size in metres across and down (Y = X if left out)\n"
           "  --scale=S            elevation = stored value x S + O (default: the band's\n"
           "                       own scale, else 1)\n"
           "  --offset=O           (default: the band's own offset, else 0)\n"
           "  --nodata=V           stored value meaning no data (default: the band's own;\n"
           "                       NaN always is)\n"
           "\n"
           "Directions, in degrees clockwise from grid north (up the image):\n"
           "  --directions=N       N evenly spaced azimuths (default 16)\n"
           "  --start=A            the first of them (default 0)\n"
           "  --azimuths=A,B,...   these azimuths instead\n"
           "Each is replaced by the nearest grid direction within 1 degree that the sweep\n"
           "handles exactly; the azimuths used are printed and stored with the outputs.\n"
           "  --curvature          lower each sample by d^2 / 2R (R = 6371 km)\n"
           "  --max-distance=M     only samples within M metres (default: to the map's edge)\n"
           "\n"
           "Outputs (at least one):\n"
           "  --angles=FILE.tif    (or .exr) the horizon angle in degrees, one float band per\n"
           "                       direction named by its azimuth; -9999 where there is\n"
           "                       none (no data, or no sample ahead at the map's edge)\n"
           "  --svf=FILE.tif       (or .exr) the sky-view factor in [0, 1], float\n"
           "  --svf-model=M        horizontal (default), sloped or zaksek\n"
           "  --shade=FILE.png     (or .tif) a hillshade with cast shadows; needs --sun\n"
           "  --sun=AZ,EL          the sun's azimuth and elevation in degrees\n"
           "  --16-bit             its samples 16-bit instead of 8\n"
           "  --engine=FILE.dds    sin of the horizon angle, R16G16B16A16_FLOAT, four\n"
           "                       directions per slice of a DX10 texture array, with mips\n"
           "  --viewer=FILE.html   a page that shows the terrain lit and shadowed under a sun\n"
           "                       set by azimuth and elevation, opened from disk (WebGL2)\n"
           "  --viewer-size=N      its mesh at most N points a side (default 512)\n"
           "\n"
           "  --help               this text\n"
           "  --version            the version\n"
           "\n"
           "The model: a texel's horizon in a direction is the greatest elevation angle of\n"
           "the points where the ray from its centre crosses the grid's column and row\n"
           "lines (through the texel centres) out to the map's edge, each elevation\n"
           "interpolated linearly between the two texels it lies between.\n"
           "\n"
           "Exit codes: 0 success; 2 an input cannot be read; 6 an output cannot be\n"
           "written; 7 no arguments or a bad command line. Files written are named on\n"
           "standard output, each written beside its name and renamed over it when whole.\n";
}

std::string SkyVersion() { return std::string("umbrascope-sky ") + UMBRASCOPE_VERSION + "\n"; }

}  // namespace sky
