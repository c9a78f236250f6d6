#!/usr/bin/env bash
# How a geographic DEM's angles agree with the same DEM warped to its UTM zone: a
# 1 x 1 degree tile (8.5-9.5 E, from SOUTH to SOUTH + 1 N, zone 32's middle; beyond
# about 49 N in bands of latitude, each with its own cells), 2 km of relief, the
# four axes, which both grids step along exactly; the UTM run's angles brought back
# onto the tile's grid (bilinear) and compared away from the edges (a tenth of each
# side left out). Beside it, the floor the two warps set alone: the tile's own run
# against a run on the tile warped to UTM and back.
#   bench/sky/geographic_accuracy.sh BUILD [SIZE] [SOUTH]
set -euo pipefail
build=$(realpath "${1:-build}") size=${2:-3601} south=${3:-45}
north=$((south + 1))
# The UTM grid's cells as the tile's at its centre, so that neither warp coarsens it.
read -r tx ty < <(/usr/bin/python3 -c "import math; c = math.radians($south + 0.5); print(111320 * math.cos(c) / $size, 111132 / $size)")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# SMOOTH=1: the map made at a third of the size and brought up by cubic splines, so
# that the terrain is smooth at the texel scale and the warps alone add little.
made=$size
[ "${SMOOTH:-0}" = 1 ] && made=$(( (size + 2) / 3 ))
"$build/examples/make_sample_maps" h.png t.png "$made" >/dev/null
gdal_translate -q -ot Float32 -scale 0 65535 0 2000 -outsize "$size" "$size" -r cubicspline -a_srs EPSG:4326 \
  -a_ullr 8.5 "$north" 9.5 "$south" h.png geo.tif
gdalwarp -q -t_srs EPSG:32632 -r bilinear -tr "$tx" "$ty" -dstnodata nan geo.tif utm.tif
sky="$build/sky/umbrascope-sky"
"$sky" geo.tif --azimuths=0,90,180,270 --angles=geo_angles.tif >/dev/null
"$sky" utm.tif --azimuths=0,90,180,270 --angles=utm_angles.tif >/dev/null 2>&1
gdalwarp -q -r bilinear -t_srs EPSG:4326 -te 8.5 "$south" 9.5 "$north" -ts "$size" "$size" -srcnodata -9999 -dstnodata nan \
  utm_angles.tif back.tif
gdalwarp -q -r bilinear -t_srs EPSG:4326 -te 8.5 "$south" 9.5 "$north" -ts "$size" "$size" -dstnodata nan utm.tif round.tif
"$sky" round.tif --azimuths=0,90,180,270 --angles=round_angles.tif >/dev/null 2>&1
/usr/bin/python3 - <<'PY'
import numpy as np
from osgeo import gdal
def read(name):
    a = gdal.Open(name).ReadAsArray().astype(np.float64)
    a[a == -9999] = np.nan
    m = a.shape[-1] // 10
    return a[:, m:-m, m:-m]
geo = read("geo_angles.tif")
for label, other in (("against the UTM run", read("back.tif")), ("floor, warped there and back", read("round_angles.tif"))):
    ok = np.isfinite(geo) & np.isfinite(other)
    d = np.abs(geo[ok] - other[ok])
    print(f"{label}: {d.size} texel-directions, median |difference| {np.median(d):.4f} deg, "
          f"99 % within {np.percentile(d, 99):.4f} deg, largest {d.max():.3f} deg")
PY
