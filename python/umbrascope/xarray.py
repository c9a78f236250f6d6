"""The umbrascope entry points over a DataArray read with rioxarray: the cell
size and the way the grid lies from its transform, the no-data value from its
encoding, and the results as DataArrays with the same coordinates and CRS, so
that .rio.to_raster() writes them georeferenced.
"""
import math

import numpy as np
import rioxarray  # noqa: F401  (registers the .rio accessor)
import xarray as xr

import umbrascope as _core
from umbrascope import _umbrascope

__all__ = ["horizons", "sky_view_factor", "shade"]


def _name(da):
    return f"the DataArray {da.name!r}" if da.name is not None else "the DataArray"


def _grid(da, nodata):
    """The 2-D DataArray, its signed cells (positive: columns run east, rows south)
    and its no-data value; ValueError when it is in degrees or not north-up."""
    if not isinstance(da, xr.DataArray):
        raise TypeError(f"a DataArray is needed, not {type(da).__name__}; use umbrascope for numpy arrays")
    if da.ndim == 3 and da.shape[0] == 1:
        da = da.isel({da.dims[0]: 0}, drop=True)
    if da.ndim != 2:
        raise ValueError(f"the DEM must be one band (y, x), not dimensions {da.dims}")
    crs = da.rio.crs
    if crs is not None and crs.is_geographic:
        left, bottom, right, top = da.rio.bounds()
        zone = min(max(math.floor(((left + right) / 2 + 180) / 6) + 1, 1), 60)
        epsg = (32700 if (top + bottom) / 2 < 0 else 32600) + zone
        raise ValueError(f"{_name(da)} is in degrees (geographic coordinates); reproject it to metres first, "
                         f"e.g. da.rio.reproject('EPSG:{epsg}')")
    transform = da.rio.transform()
    if transform.b != 0 or transform.d != 0:
        raise ValueError(f"{_name(da)}: its grid is rotated or sheared against its coordinates; warp it onto a "
                         "north-up grid first (rio.reproject)")
    if nodata is None:
        nodata = da.rio.nodata if da.rio.nodata is not None else da.rio.encoded_nodata
        nodata = None if nodata is None or np.isnan(nodata) else float(nodata)
    return da, transform.a, -transform.e, nodata


def _result(values, da, dims, attrs, nodata=None, coords=None):
    out = xr.DataArray(values, dims=dims + da.dims, coords={**(coords or {}), **da.coords}, attrs=attrs)
    out = out.rio.write_crs(da.rio.crs) if da.rio.crs is not None else out
    out = out.rio.write_transform(da.rio.transform())
    return out.rio.write_nodata(nodata, encoded=False) if nodata is not None else out


def _options(da, nodata, **asked):
    da, cell_x, cell_y, nodata = _grid(da, nodata)
    options = _core._options(da.values, (abs(cell_x), abs(cell_y)), nodata=nodata, **asked)
    # The azimuths are true to the georeferencing, as the command line's.
    options["cell_x"], options["cell_y"] = cell_x, cell_y
    return da, options


def horizons(da, *, directions=16, start=0, azimuths=None, max_distance=None, curvature=False, nodata=None):
    """umbrascope.horizons on a DataArray: a float32 DataArray (azimuth, y, x), the
    azimuth coordinate holding the azimuths used, NODATA its no-data value."""
    da, options = _options(da, nodata, directions=directions, start=start, azimuths=azimuths,
                           max_distance=max_distance, curvature=curvature)
    angles, used = _umbrascope.horizons(**options)
    return _result(angles, da, ("azimuth",), {"long_name": "horizon angle", "units": "degrees"}, _core.NODATA,
                   coords={"azimuth": np.asarray(used)})


def sky_view_factor(da, *, model="horizontal", directions=16, start=0, azimuths=None, max_distance=None,
                    curvature=False, nodata=None):
    """umbrascope.sky_view_factor on a DataArray: a float32 DataArray (y, x)."""
    da, options = _options(da, nodata, directions=directions, start=start, azimuths=azimuths,
                           max_distance=max_distance, curvature=curvature)
    svf, _ = _umbrascope.sky_view_factor(**options, model=_core._model(model))
    return _result(svf, da, (), {"long_name": "sky-view factor", "svf_model": model}, _core.NODATA)


def shade(da, sun, *, bits=8, directions=16, start=0, azimuths=None, max_distance=None, curvature=False,
          nodata=None):
    """umbrascope.shade on a DataArray: a uint8 or uint16 DataArray (y, x)."""
    da, options = _options(da, nodata, directions=directions, start=start, azimuths=azimuths,
                           max_distance=max_distance, curvature=curvature)
    azimuth, elevation = _core._sun(sun, bits)
    grey, _ = _umbrascope.shade(**options, sun_azimuth=azimuth, sun_elevation=elevation, bits=bits)
    return _result(grey, da, (), {"long_name": "hillshade", "sun": f"{azimuth} {elevation}"})
