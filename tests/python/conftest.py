"""Shared fixtures: umbrascope-sky on a DEM written as a TIFF, its outputs read back."""
import os
import subprocess

import numpy as np
import pytest
import rasterio


def pytest_configure(config):
    # The DEMs written for the command line carry no georeferencing on purpose.
    config.addinivalue_line("filterwarnings", "ignore::rasterio.errors.NotGeoreferencedWarning")


def terrain(rows, cols, seed=1):
    """Hills, a bowl whose rim every cell looks to, and noise: horizons set by both
    near and far samples."""
    y, x = np.mgrid[0:rows, 0:cols]
    rng = np.random.default_rng(seed)
    return (np.sin(x / 7.0) * 20 + np.cos(y / 11.0) * 15 + ((x - cols / 2) ** 2 + (y - rows / 2) ** 2) * 0.02
            + rng.random((rows, cols)) * 3)


@pytest.fixture
def sky(tmp_path):
    """sky(dem, *options) -> (angles, svf, shade) as umbrascope-sky writes them for
    the DEM (written as a TIFF of its dtype) and its command-line options."""
    program = os.environ["UMBRASCOPE_SKY"]

    def run(dem, *options):
        path = tmp_path / "dem.tif"
        with rasterio.open(path, "w", driver="GTiff", width=dem.shape[1], height=dem.shape[0], count=1,
                           dtype=dem.dtype) as out:
            out.write(dem, 1)
        outputs = [tmp_path / name for name in ("angles.tif", "svf.tif", "shade.tif")]
        subprocess.run([program, str(path), "--angles", str(outputs[0]), "--svf", str(outputs[1]), "--shade",
                        str(outputs[2]), *options], check=True, capture_output=True)
        return tuple(rasterio.open(p).read().squeeze() for p in outputs)

    return run
