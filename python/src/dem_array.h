#pragma once
// A numpy array of elevations as the kernels' grid, read as umbrascope-sky reads
// a DEM's samples: NaN, infinities and the no-data value are no data.
#include <optional>
#include <vector>

#include <pybind11/numpy.h>

#include "skyline/sampling_model.h"

namespace umbrascope_python {

// The grid and, when the array could not be read in place, the doubles it points at.
struct DemGrid {
    skyline::Grid grid;
    std::vector<double> copy;
};

// `dem`: two dimensions, at least one element, a real or integer dtype, any
// strides. Read in place when it is C-ordered float64 with only finite values and
// no `noData`; otherwise copied into doubles. Call without the GIL; `dem` must
// stay alive. Exhausted memory escapes as std::bad_alloc; the dtype and shape are
// the caller's to check (the Python layer does).
[[nodiscard]] DemGrid ReadDem(const pybind11::array& dem, std::optional<double> noData);

}  // namespace umbrascope_python
