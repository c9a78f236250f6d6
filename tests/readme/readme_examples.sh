#!/usr/bin/env bash
# Runs every command of README.md's sh blocks that calls one of the programs, in the
# order written, in one scratch folder holding the input files the examples name, so
# that an example cannot drift from what the programs accept. Build, install and
# GDAL commands are listed as skipped.
#   readme_examples.sh README.md BIN_DIR... (each holding one of the programs)
#   MAKE_SAMPLE_MAPS=path/to/make_sample_maps
set -uo pipefail
readme=$(realpath "$1")
shift
for dir in "$@"; do PATH="$dir:$PATH"; done
export PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

"$MAKE_SAMPLE_MAPS" heights.png trees.png 256 dem.tif >/dev/null || exit 1
mkdir -p maps "my maps"
# The programs read a map by its content, whatever its name; dem.tif is a GeoTIFF.
for name in maps/heights.png "my maps/h.tif" dem.png dem16.png dem32.tif srtm.tif; do cp heights.png "$name"; done
for name in maps/trees.png t.png; do cp trees.png "$name"; done
# A mosaic and a zipped ASCII grid of the same GeoTIFF, as GDAL makes them.
gdalbuildvrt -q tiles.vrt dem.tif || exit 1
gdal_translate -q -of AAIGrid dem.tif dem.asc && /usr/bin/python3 -m zipfile -c dem.zip dem.asc dem.prj || exit 1
# Stand-ins for a Copernicus tile in degrees and a zipped SRTM tile (GDAL reads both by content).
gdal_translate -q -a_srs EPSG:4326 -a_ullr 8 45.01 8.01 45 dem.tif Copernicus_DSM_COG_10_N45_00_E008_00_DEM.tif || exit 1
cp Copernicus_DSM_COG_10_N45_00_E008_00_DEM.tif N45E008.hgt && /usr/bin/python3 -m zipfile -c N45E008.SRTMGL1.hgt.zip N45E008.hgt || exit 1

passed=0 failed=0 skipped=0
while IFS= read -r line; do
    command=${line%%  #*}  # a comment after two blanks is the README's
    [[ -z "${command// /}" || "$command" =~ ^[[:space:]]*# ]] && continue
    case "$command" in
    umbrascope\ * | umbrascope-export\ * | umbrascope-sky\ * | mkdir\ *)
        bash -c "$command" </dev/null >out.log 2>&1
        status=$?
        if [[ $status -eq 0 ]]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
            echo "FAILED (exit $status): $command"
            sed 's/^/    /' out.log
            echo
        fi
        ;;
    *) skipped=$((skipped + 1)) ;;
    esac
done < <(awk '/^```sh/ { inside = 1; next } /^```/ { inside = 0 } inside' "$readme")
echo "$passed passed, $failed failed, $skipped skipped"
[[ $failed -eq 0 && $passed -gt 0 ]]
