#include "dem_array.h"

#include <cmath>
#include <cstdint>

#include "os/huge_pages.h"

namespace umbrascope_python {

namespace py = pybind11;

namespace {

// Stored numbers into elevations, as the command line's loader: a stored value
// equal to the no-data value or NaN is no data, and so is an infinite elevation.
template <typename T>
void Convert(const py::array& dem, std::optional<double> noData, DemGrid* out) {
    const auto view = dem.unchecked<T, 2>();
    const auto rows = view.shape(0), cols = view.shape(1);
    // Huge pages where offered: the sweeps read it across rows.
    os::ReserveOnHugePages(&out->copy, static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    out->copy.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    double* z = out->copy.data();
    for (py::ssize_t y = 0; y < rows; ++y)
        for (py::ssize_t x = 0; x < cols; ++x) {
            const double stored = static_cast<double>(view(y, x));
            const bool missing = stored != stored || (noData && stored == *noData) || !std::isfinite(stored);
            *z++ = missing ? std::nan("") : stored;
        }
    out->grid.z = out->copy.data();
}

bool AllFinite(const double* z, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(z[i])) return false;
    return true;
}

}  // namespace

DemGrid ReadDem(const py::array& dem, std::optional<double> noData) {
    DemGrid out;
    out.grid.height = static_cast<std::uint32_t>(dem.shape(0));
    out.grid.width = static_cast<std::uint32_t>(dem.shape(1));
    const std::size_t n = std::size_t{out.grid.width} * out.grid.height;
    const bool cOrder = (dem.flags() & py::array::c_style) != 0;
    if (cOrder && !noData && py::isinstance<py::array_t<double>>(dem)) {
        const auto* z = static_cast<const double*>(dem.data());
        if (AllFinite(z, n)) {
            out.grid.z = z;
            return out;
        }
    }
    const char kind = dem.dtype().kind();
    const auto size = dem.dtype().itemsize();
    if (kind == 'f' && size == 8)
        Convert<double>(dem, noData, &out);
    else if (kind == 'f' && size == 4)
        Convert<float>(dem, noData, &out);
    else if (kind == 'i' && size == 1)
        Convert<std::int8_t>(dem, noData, &out);
    else if (kind == 'i' && size == 2)
        Convert<std::int16_t>(dem, noData, &out);
    else if (kind == 'i' && size == 4)
        Convert<std::int32_t>(dem, noData, &out);
    else if (kind == 'i' && size == 8)
        Convert<std::int64_t>(dem, noData, &out);
    else if (kind == 'u' && size == 1)
        Convert<std::uint8_t>(dem, noData, &out);
    else if (kind == 'u' && size == 2)
        Convert<std::uint16_t>(dem, noData, &out);
    else if (kind == 'u' && size == 4)
        Convert<std::uint32_t>(dem, noData, &out);
    else if (kind == 'u' && size == 8)
        Convert<std::uint64_t>(dem, noData, &out);
    return out;
}

}  // namespace umbrascope_python
