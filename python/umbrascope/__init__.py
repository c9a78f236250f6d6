"""Horizon angles, sky-view factor and cast-shadow hillshade of a DEM held in a
numpy array, computed by umbrascope-sky's kernels: bit for bit what the command
line writes for the same DEM and options.

Rows run south (row 0 on top) and columns east, cells in metres. NaN, infinities
and ``nodata`` are no data; results hold NODATA (-9999) where there is none.
The GIL is released while the kernels run on every core.

umbrascope.xarray and umbrascope.dask take labelled and chunked arrays.
"""
import math
import numbers

import numpy as np

from . import _umbrascope

NODATA = float(_umbrascope.NODATA)
SVF_MODELS = ("horizontal", "sloped", "zaksek")

__all__ = ["horizons", "sky_view_factor", "shade", "NODATA", "SVF_MODELS"]

# dtypes the kernels read in place or convert element by element; other real
# dtypes (float16, longdouble) are converted to float64 first.
_READ = {np.dtype(t) for t in (np.float64, np.float32, np.int8, np.int16, np.int32, np.int64,
                              np.uint8, np.uint16, np.uint32, np.uint64)}


def _number(value, message):
    """A real number as float, or TypeError with `message` (the command line's words)."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError(message)
    return float(value)


def _cells(cell):
    """(x, y) in metres from a number or a pair; both finite and above 0."""
    message = f"cell needs one or two sizes above 0 in metres (x or (x, y)), not {cell!r}"
    pair = tuple(cell) if isinstance(cell, (tuple, list, np.ndarray)) else (cell,)
    if len(pair) not in (1, 2):
        raise ValueError(message)
    sizes = [_number(c, message) for c in pair]
    if not all(s > 0 and math.isfinite(s) for s in sizes):
        raise ValueError(message)
    return sizes[0], sizes[-1]


def _wanted(directions, start, azimuths):
    """The azimuths asked for, as the command line's --directions, --start and --azimuths."""
    if azimuths is not None:
        message = f"azimuths needs azimuths in degrees, not {azimuths!r}"
        if isinstance(azimuths, (str, bytes)):
            raise TypeError(message)
        wanted = [_number(a, message) for a in np.ravel(np.asarray(azimuths, dtype=object))]
        if not wanted or not all(math.isfinite(a) for a in wanted):
            raise ValueError(message)
        return wanted
    message = f"directions must be a whole number from 1 to 360, not {directions!r}"
    count = _number(directions, message)
    if not (1 <= count <= 360 and count == math.floor(count)):
        raise ValueError(message)
    first = _number(start, f"start needs a number, not {start!r}")
    if not math.isfinite(first):
        raise ValueError(f"start needs a number, not {start!r}")
    return _umbrascope.even_azimuths(int(count), first)


def _dem(dem):
    """`dem` as a 2-D numpy array of real numbers, read in place where it can be."""
    array = np.asarray(dem)
    if array.dtype.kind not in "iuf":
        raise TypeError(f"the DEM must hold real numbers (integers or floats), not {array.dtype}")
    if array.ndim != 2:
        raise ValueError(f"the DEM must be a 2-D array (rows, columns), not {array.ndim}-D")
    if array.size == 0:
        raise ValueError(f"the DEM has no cells: shape {array.shape}")
    if max(array.shape) > 0xFFFFFFFF:
        raise ValueError(f"the DEM has more than 4294967295 rows or columns: shape {array.shape}")
    if array.dtype not in _READ or not array.dtype.isnative:
        array = array.astype(np.float64)
    return array


def _options(dem, cell, directions, start, azimuths, max_distance, curvature, nodata):
    """The kernels' arguments, each checked with the command line's words."""
    array = _dem(dem)
    cell_x, cell_y = _cells(cell)
    wanted = _wanted(directions, start, azimuths)
    reach = 0.0
    if max_distance is not None:
        message = f"max_distance needs a distance above 0 in metres, not {max_distance!r}"
        reach = _number(max_distance, message)
        if not reach > 0:
            raise ValueError(message)
    if nodata is not None:
        nodata = _number(nodata, f"nodata needs a number, not {nodata!r}")
    return dict(dem=array, cell_x=cell_x, cell_y=cell_y, azimuths=wanted, max_distance=reach,
                curvature=bool(curvature), nodata=nodata)


def _model(model):
    if model not in SVF_MODELS:
        raise ValueError(f"model must be horizontal, sloped or zaksek, not {model!r}")
    return model


def _sun(sun, bits):
    message = f"sun needs (azimuth, elevation) in degrees, the elevation from -90 to 90, not {sun!r}"
    if isinstance(sun, (str, bytes)) or not hasattr(sun, "__len__") or len(sun) != 2:
        raise TypeError(message)
    azimuth, elevation = (_number(s, message) for s in sun)
    if not (math.isfinite(azimuth) and -90 <= elevation <= 90):
        raise ValueError(message)
    if bits not in (8, 16) or isinstance(bits, bool):
        raise ValueError(f"bits must be 8 or 16, not {bits!r}")
    return azimuth, elevation


def horizons(dem, cell, *, directions=16, start=0, azimuths=None, max_distance=None, curvature=False,
             nodata=None):
    """Horizon angles of every cell of `dem` (2-D, any real dtype and layout).

    cell: metres, a number or (x, y). directions/start: that many azimuths evenly
    spaced from start (degrees clockwise from north); azimuths: these instead.
    Each azimuth moves to the nearest grid direction within 1 degree.
    max_distance: metres searched (None: to the map's edge). curvature: the
    earth's. nodata: a value that is no data besides NaN.

    Returns (angles, azimuths): float32 degrees above the horizontal, shape
    (directions, rows, columns), NODATA where a cell has no data or nothing ahead;
    and the float64 azimuths of the grid directions used. Raises TypeError or
    ValueError for bad arguments, MemoryError when memory runs out.
    """
    angles, used = _umbrascope.horizons(**_options(dem, cell, directions, start, azimuths, max_distance,
                                                   curvature, nodata))
    return angles, np.asarray(used)


def sky_view_factor(dem, cell, *, model="horizontal", directions=16, start=0, azimuths=None,
                    max_distance=None, curvature=False, nodata=None):
    """The sky-view factor of every cell, float32 in [0, 1] (NODATA where none),
    for model "horizontal", "sloped" or "zaksek"; the other arguments and errors
    as horizons()."""
    options = _options(dem, cell, directions, start, azimuths, max_distance, curvature, nodata)
    svf, _ = _umbrascope.sky_view_factor(**options, model=_model(model))
    return svf


def shade(dem, cell, sun, *, bits=8, directions=16, start=0, azimuths=None, max_distance=None,
          curvature=False, nodata=None):
    """A hillshade with cast shadows for the sun at (azimuth, elevation) degrees:
    uint8 (bits=8) or uint16 (bits=16), 0 in shadow and where there is no data;
    the other arguments and errors as horizons()."""
    options = _options(dem, cell, directions, start, azimuths, max_distance, curvature, nodata)
    azimuth, elevation = _sun(sun, bits)
    grey, _ = _umbrascope.shade(**options, sun_azimuth=azimuth, sun_elevation=elevation, bits=bits)
    return grey
