"""umbrascope on numpy arrays: bit for bit the command line, every layout, and
bad input refused with a Python exception."""
import numpy as np
import pytest

import umbrascope
from conftest import terrain


def with_voids(z):
    z = z.copy()
    z[4:7, 10:13] = np.nan
    return z


# (DEM, Python options, the command line's options): each row a way the two could part.
CASES = [
    (terrain(40, 50).astype(np.float32),
     dict(cell=(2, 3), directions=7, start=3, max_distance=20, model="sloped", sun=(100, 20)),
     ["--cell", "2,3", "--directions", "7", "--start", "3", "--max-distance", "20", "--svf-model", "sloped",
      "--sun", "100,20"]),
    (with_voids(terrain(33, 47, seed=2)).astype(np.float32),
     dict(cell=5, model="horizontal", sun=(300, 45), curvature=True),
     ["--cell", "5", "--sun", "300,45", "--curvature"]),
    ((terrain(30, 41, seed=3) * 10).astype(np.int16),
     dict(cell=1, azimuths=[10, 100, 190.5, 190.7], nodata=float(int(terrain(30, 41, seed=3)[5, 5] * 10)),
          model="zaksek", sun=(45, 10), bits=16),
     ["--cell", "1", "--azimuths", "10,100,190.5,190.7", "--nodata", str(int(terrain(30, 41, seed=3)[5, 5] * 10)),
      "--svf-model", "zaksek", "--sun", "45,10", "--16-bit"]),
    ((terrain(25, 60, seed=4) * 5).astype(np.uint16),
     dict(cell=(1, 2), directions=5, start=400, max_distance=7.5, model="sloped", sun=(200, -5)),
     ["--cell", "1,2", "--directions", "5", "--start", "400", "--max-distance", "7.5", "--svf-model", "sloped",
      "--sun", "200,-5"]),
]


@pytest.mark.parametrize("dem,options,line", CASES)
def test_results_are_the_command_lines_bit_for_bit(sky, dem, options, line):
    angles, svf, grey = sky(dem, *line)
    common = {k: v for k, v in options.items() if k not in ("model", "sun", "bits")}
    got, _ = umbrascope.horizons(dem, **common)
    assert got.dtype == np.float32 and np.array_equal(got.view(np.uint32), angles.view(np.uint32))
    got = umbrascope.sky_view_factor(dem, model=options["model"], **common)
    assert np.array_equal(got.view(np.uint32), svf.view(np.uint32))
    got = umbrascope.shade(dem, sun=options["sun"], bits=options.get("bits", 8), **common)
    assert got.dtype == grey.dtype and np.array_equal(got, grey)


def test_layouts_and_dtypes_read_as_the_packed_float64_grid():
    base = terrain(20, 31)
    base[3, 3] = np.inf
    expected, _ = umbrascope.horizons(np.where(np.isinf(base), np.nan, base), 2, directions=6)
    for dem in (np.asfortranarray(base), base.astype(">f8"), np.pad(base, 2)[2:-2, 2:-2],
                np.repeat(np.repeat(base, 2, 0), 3, 1)[::2, ::3], base.astype(np.longdouble)):
        got, _ = umbrascope.horizons(dem, 2, directions=6)
        assert np.array_equal(got, expected)


@pytest.mark.parametrize("dem,options,error,words", [
    (np.zeros((0, 5)), {}, ValueError, "no cells"),
    (np.zeros(5), {}, ValueError, "2-D"),
    (np.zeros((2, 3, 4)), {}, ValueError, "2-D"),
    (np.array([["a", "b"], ["c", "d"]]), {}, TypeError, "real numbers"),
    (np.array([[None, 1], [2, 3]], dtype=object), {}, TypeError, "real numbers"),
    (np.zeros((3, 3), dtype=bool), {}, TypeError, "real numbers"),
    (np.zeros((3, 3)), dict(cell=-1), ValueError, "sizes above 0"),
    (np.zeros((3, 3)), dict(cell=float("nan")), ValueError, "sizes above 0"),
    (np.zeros((3, 3)), dict(cell="1"), TypeError, "sizes above 0"),
    (np.zeros((3, 3)), dict(cell=(1, 2, 3)), ValueError, "sizes above 0"),
    (np.zeros((3, 3)), dict(cell=1e-300), ValueError, "too small"),
    (np.zeros((3, 3)), dict(cell=(1, 1000), azimuths=[45]), ValueError, "too far from square"),
    (np.zeros((3, 3)), dict(directions=0), ValueError, "from 1 to 360"),
    (np.zeros((3, 3)), dict(max_distance=-2), ValueError, "distance above 0"),
    (np.zeros((3, 3)), dict(azimuths=[]), ValueError, "azimuths in degrees"),
])
def test_bad_input_is_refused_in_the_command_lines_words(dem, options, error, words):
    options = {"cell": 1, **options}
    with pytest.raises(error, match=words):
        umbrascope.horizons(dem, **options)


def test_memory_that_runs_out_is_a_memory_error():
    with pytest.raises(MemoryError):
        umbrascope.horizons(np.broadcast_to(np.float32(1), (200000, 200000)), 1)
