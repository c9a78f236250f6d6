"""umbrascope.dask: every chunk bit for bit the whole-array run with the same
max_distance, on the threaded scheduler and on a cluster of two worker processes
each allowed less memory than the DEM."""
import dask.array as da
import numpy as np
import pytest
import zarr
from dask.distributed import Client, LocalCluster

import umbrascope
import umbrascope.dask as ud
from conftest import terrain

DEM = terrain(97, 131)


@pytest.mark.parametrize("chunks,cell,max_distance", [
    ((25, 40), (2, 3), 20),  # halos of 7 and 11 cells
    ((5, 7), 1, 9.5),        # chunks thinner than the halo: rechunked
    ((97, 20), 4, 400),      # a halo wider than the map: one chunk along each axis
])
def test_chunks_match_the_whole_array(chunks, cell, max_distance):
    darr = da.from_array(DEM, chunks=chunks)
    options = dict(max_distance=max_distance, directions=9, start=5)
    angles, _ = ud.horizons(darr, cell, **options)
    assert np.array_equal(angles.compute(), umbrascope.horizons(DEM, cell, **options)[0])
    svf = ud.sky_view_factor(darr, cell, model="sloped", **options).compute()
    assert np.array_equal(svf, umbrascope.sky_view_factor(DEM, cell, model="sloped", **options))
    grey = ud.shade(darr, cell, (120, 15), **options).compute()
    assert np.array_equal(grey, umbrascope.shade(DEM, cell, (120, 15), **options))


@pytest.mark.parametrize("options,words", [
    (dict(), "max_distance is needed"),
    (dict(max_distance=10, curvature=True), "curvature is not computed in chunks"),
    (dict(max_distance=0), "distance above 0"),
])
def test_what_a_halo_cannot_serve_is_refused(options, words):
    with pytest.raises(ValueError, match=words):
        ud.horizons(da.from_array(DEM, chunks=20), 1, **options)


@pytest.fixture(scope="module")
def cluster():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, memory_limit="250MB",
                      dashboard_address=None) as c:
        yield c


def test_a_cluster_with_less_memory_than_the_dem_matches_the_whole_array(cluster, tmp_path):
    dem = terrain(6000, 6000)  # float64: 288 MB
    da.from_array(dem, chunks=600).to_zarr(str(tmp_path / "dem.zarr"))
    options = dict(max_distance=20, azimuths=[30])
    with Client(cluster):
        angles, _ = ud.horizons(da.from_zarr(str(tmp_path / "dem.zarr")), 1.5, **options)
        angles.to_zarr(str(tmp_path / "angles.zarr"))
    assert dem.nbytes > 250e6
    expected, _ = umbrascope.horizons(dem, 1.5, **options)
    assert np.array_equal(zarr.open(str(tmp_path / "angles.zarr"))[:], expected)
