"""umbrascope.xarray: a GeoTIFF read with rioxarray in, the command line's angles
out, written back georeferenced."""
import subprocess
import os

import numpy as np
import pytest
import rasterio
import rioxarray
from rasterio.transform import from_origin

import umbrascope.xarray as ux
from conftest import terrain


@pytest.fixture
def geotiff(tmp_path):
    """A DEM in UTM with 2 x 3 m cells, rows running north, and a no-data value."""
    dem = terrain(40, 50).astype(np.float32)
    dem[3, 4] = -32000
    path = tmp_path / "dem.tif"
    transform = rasterio.Affine(2, 0, 500000, 0, 3, 5000000)  # rows run north: azimuths mirror
    with rasterio.open(path, "w", driver="GTiff", width=50, height=40, count=1, dtype="float32",
                       crs="EPSG:32633", transform=transform, nodata=-32000) as out:
        out.write(dem, 1)
    return path


def test_round_trip_keeps_the_crs_and_matches_the_command_line(geotiff, tmp_path):
    angles = ux.horizons(rioxarray.open_rasterio(geotiff), directions=8, start=10, max_distance=30)
    assert angles.dims == ("azimuth", "y", "x")
    angles.rio.to_raster(tmp_path / "angles.tif")
    subprocess.run([os.environ["UMBRASCOPE_SKY"], str(geotiff), "--directions", "8", "--start", "10",
                    "--max-distance", "30", "--angles", str(tmp_path / "cli.tif")], check=True, capture_output=True)
    with rasterio.open(tmp_path / "angles.tif") as ours, rasterio.open(tmp_path / "cli.tif") as theirs:
        assert (ours.crs, ours.transform, ours.nodata) == (theirs.crs, theirs.transform, theirs.nodata)
        assert np.array_equal(ours.read(), theirs.read())
    tags = rasterio.open(tmp_path / "cli.tif").tags()["AZIMUTHS"].split()
    assert [f"{a:.2f}" for a in angles.azimuth.values] == tags


def test_degrees_are_refused_with_the_reprojection_to_make(geotiff):
    geographic = rioxarray.open_rasterio(geotiff).rio.reproject("EPSG:4326")
    with pytest.raises(ValueError, match=r"in degrees .*reproject\('EPSG:32633'\)"):
        ux.sky_view_factor(geographic)
