"""The umbrascope entry points over a chunked Dask array, through map_overlap.

Each chunk borrows a halo from its neighbours wide enough that every sample
within max_distance of its cells, and both cells a crossing sample lies between,
are in it: floor(max_distance / cell) + 1 cells along each axis. Chunks at the
map's edge borrow nothing there (boundary='none'), so the edge stays the map's
edge, as on the command line. Every chunk's result is then bit for bit the
whole-array run's with the same max_distance.
"""
import math

import dask.array as da
import numpy as np
from dask.array.overlap import ensure_minimum_chunksize

import umbrascope as _core
from umbrascope import _umbrascope

__all__ = ["halo", "horizons", "sky_view_factor", "shade"]


def halo(cell, max_distance):
    """The cells (rows, columns) a chunk borrows on each side for `max_distance`
    metres with `cell` (a number or (x, y), metres)."""
    cell_x, cell_y = _core._cells(cell)
    reach = _reach(max_distance)
    return math.floor(reach / cell_y) + 1, math.floor(reach / cell_x) + 1


def _reach(max_distance):
    if max_distance is None:
        raise ValueError("max_distance is needed on a Dask array: each chunk borrows a halo of max_distance "
                         "over the cell size (plus one cell) from its neighbours, and without it the halo "
                         "would be the whole map")
    message = f"max_distance needs a distance above 0 in metres, not {max_distance!r}"
    reach = _core._number(max_distance, message)
    if not (reach > 0 and math.isfinite(reach)):
        raise ValueError(message)
    return reach


def _chunked(darr, depth):
    """`darr` rechunked so that no chunk is thinner than the halo it lends; an axis
    shorter than its halo becomes one chunk, which borrows nothing."""
    chunks, depths = [], []
    for axis_chunks, d, length in zip(darr.chunks, depth, darr.shape):
        if length <= d:
            chunks.append((length,))
            depths.append(0)
        else:
            chunks.append(ensure_minimum_chunksize(d, axis_chunks) if min(axis_chunks) < d else axis_chunks)
            depths.append(d)
    if tuple(chunks) != darr.chunks:
        darr = darr.rechunk(tuple(chunks))
    return darr, tuple(depths)


def _map(darr, cell, max_distance, curvature, compute, dtype, bands):
    """compute(block) on each chunk with its halo, trimmed back to the chunk:
    (bands, rows, columns) when `bands` is a count, (rows, columns) when None."""
    if not isinstance(darr, da.Array):
        raise TypeError(f"a Dask array is needed, not {type(darr).__name__}; use umbrascope for numpy arrays")
    if darr.ndim != 2:
        raise ValueError(f"the DEM must be a 2-D array (rows, columns), not {darr.ndim}-D")
    if darr.size == 0:
        raise ValueError(f"the DEM has no cells: shape {darr.shape}")
    if np.dtype(darr.dtype).kind not in "iuf":
        raise TypeError(f"the DEM must hold real numbers (integers or floats), not {darr.dtype}")
    if curvature:
        raise ValueError("curvature is not computed in chunks: the earth's lowering is reckoned from the map's "
                         "corner, so chunks would differ from the whole map in the last bits; use "
                         "umbrascope on the whole array")
    darr, depth = _chunked(darr, halo(cell, max_distance))

    def run(block, block_info=None):
        info = block_info[0]
        (i, j), (ni, nj) = info["chunk-location"], info["num-chunks"]
        top, left = (depth[0] if i > 0 else 0), (depth[1] if j > 0 else 0)
        bottom = block.shape[0] - (depth[0] if i < ni - 1 else 0)
        right = block.shape[1] - (depth[1] if j < nj - 1 else 0)
        return compute(block)[..., top:bottom, left:right]

    chunks = darr.chunks if bands is None else ((bands,),) + darr.chunks
    return da.map_overlap(run, darr, depth={0: depth[0], 1: depth[1]}, boundary="none", trim=False,
                          chunks=chunks, new_axis=None if bands is None else [0], dtype=dtype,
                          meta=np.empty((0,) * len(chunks), dtype))


def _azimuths(cell, directions, start, azimuths):
    cell_x, cell_y = _core._cells(cell)
    return np.asarray(_umbrascope.choose_directions(_core._wanted(directions, start, azimuths), cell_x, cell_y))


def horizons(darr, cell, *, max_distance=None, directions=16, start=0, azimuths=None, curvature=False,
             nodata=None):
    """umbrascope.horizons over the chunks of `darr`: (angles, azimuths) with the
    angles a lazy float32 Dask array (directions, rows, columns). max_distance is
    needed; curvature is refused."""
    used = _azimuths(cell, directions, start, azimuths)
    options = dict(directions=directions, start=start, azimuths=azimuths, max_distance=max_distance, nodata=nodata)
    angles = _map(darr, cell, max_distance, curvature, lambda block: _core.horizons(block, cell, **options)[0],
                  np.float32, len(used))
    return angles, used


def sky_view_factor(darr, cell, *, max_distance=None, model="horizontal", directions=16, start=0, azimuths=None,
                    curvature=False, nodata=None):
    """umbrascope.sky_view_factor over the chunks of `darr`, a lazy float32 Dask array."""
    _azimuths(cell, directions, start, azimuths)
    _core._model(model)
    options = dict(model=model, directions=directions, start=start, azimuths=azimuths, max_distance=max_distance,
                   nodata=nodata)
    return _map(darr, cell, max_distance, curvature, lambda block: _core.sky_view_factor(block, cell, **options),
                np.float32, None)


def shade(darr, cell, sun, *, max_distance=None, bits=8, directions=16, start=0, azimuths=None, curvature=False,
          nodata=None):
    """umbrascope.shade over the chunks of `darr`, a lazy uint8 or uint16 Dask array."""
    _azimuths(cell, directions, start, azimuths)
    _core._sun(sun, bits)
    options = dict(bits=bits, directions=directions, start=start, azimuths=azimuths, max_distance=max_distance,
                   nodata=nodata)
    return _map(darr, cell, max_distance, curvature, lambda block: _core.shade(block, cell, sun, **options),
                np.uint8 if bits == 8 else np.uint16, None)
