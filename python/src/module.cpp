// umbrascope._umbrascope: the sky kernels over numpy arrays. The Python layer
// (umbrascope/__init__.py) checks the arguments and words their refusals; this
// module runs the kernels as umbrascope-sky runs them, without the GIL.
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "dem_array.h"
#include "os/huge_pages.h"
#include "skyline/derived_products.h"
#include "skyline/direction_choice.h"
#include "skyline/horizon_bands.h"

namespace py = pybind11;
using umbrascope_python::DemGrid;

namespace {

// What every entry point shares: the DEM's cells signed as AzimuthOf takes them
// (positive: columns run east, rows south) and the directions wanted.
struct Run {
    double cellX = 1, cellY = 1;
    std::vector<double> wanted;
    double maxDistance = 0;
    bool curvature = false;
    std::optional<double> noData;
};

// The grid and the directions, or ValueError with the command line's words.
struct Prepared {
    DemGrid dem;
    skyline::ChosenDirections directions;
};

Prepared Prepare(const py::array& dem, const Run& run) {
    Prepared p;
    if (dem.ndim() != 2 || dem.size() == 0) throw py::value_error("the DEM must be a 2-D array with cells");
    status::Status cells = skyline::CheckCells(run.cellX, run.cellY, static_cast<std::uint32_t>(dem.shape(1)),
                                               static_cast<std::uint32_t>(dem.shape(0)), run.curvature);
    if (!cells.ok()) throw py::value_error(cells.reason);
    status::Status chosen = skyline::ChooseDirections(run.wanted, run.cellX, run.cellY, &p.directions);
    if (!chosen.ok()) throw py::value_error(chosen.reason);
    {
        py::gil_scoped_release free;
        p.dem = umbrascope_python::ReadDem(dem, run.noData);
    }
    if (p.dem.grid.z == nullptr) throw py::type_error("the DEM's dtype is not one of numbers");
    return p;
}

skyline::HorizonRequest RequestOf(const Prepared& p, const Run& run) {
    skyline::HorizonRequest request;
    request.directions = p.directions.lattice;
    request.cellX = std::fabs(run.cellX);
    request.cellY = std::fabs(run.cellY);
    request.curvature = run.curvature;
    request.maxDistance = run.maxDistance;
    request.threads = std::max(1u, std::thread::hardware_concurrency());
    return request;
}

// The bands of every direction, each handed to `take` as umbrascope-sky hands
// them to its outputs. Call without the GIL.
status::Status Sweep(const Prepared& p, const Run& run, const skyline::BandBatch& take) {
    return skyline::ComputeHorizonBatches(p.dem.grid, RequestOf(p, run), take);
}

void Raise(const status::Status& failed) {
    if (failed.code == status::Code::OutOfMemory) throw std::bad_alloc();
    throw std::runtime_error("cannot compute the horizons: " + status::Describe(failed));
}

py::tuple Horizons(const py::array& dem, const Run& run) {
    const Prepared p = Prepare(dem, run);
    const std::size_t texels = std::size_t{p.dem.grid.width} * p.dem.grid.height;
    py::array_t<float> angles({static_cast<py::ssize_t>(run.wanted.size()), static_cast<py::ssize_t>(dem.shape(0)),
                               static_cast<py::ssize_t>(dem.shape(1))});
    float* out = angles.mutable_data();
    // The kernel writes straight into the array. numpy asks for huge pages for an
    // array this large; zeroing them on first touch took twice the system time of
    // small pages' faults here, and the sweep's time was the same either way.
    os::AvoidHugePages(out, run.wanted.size() * texels * sizeof(float));
    std::vector<float*> bands;
    for (std::size_t i = 0; i < run.wanted.size(); ++i) bands.push_back(out + i * texels);
    status::Status hr;
    {
        py::gil_scoped_release free;
        hr = skyline::ComputeHorizonsInto(p.dem.grid, RequestOf(p, run), bands.data());
    }
    if (!hr.ok()) Raise(hr);
    return py::make_tuple(angles, p.directions.azimuths);
}

py::tuple SkyViewFactor(const py::array& dem, const Run& run, const std::string& model) {
    const Prepared p = Prepare(dem, run);
    const skyline::SvfModel svf = model == "sloped"   ? skyline::SvfModel::Sloped
                                  : model == "zaksek" ? skyline::SvfModel::Zaksek
                                                      : skyline::SvfModel::Horizontal;
    std::vector<float> result;
    status::Status hr;
    {
        py::gil_scoped_release free;
        skyline::SkyViewSum sum(p.dem.grid, run.cellX, run.cellY, p.directions.azimuths, svf);
        hr = Sweep(p, run, [&](const std::vector<std::size_t>& indices, std::vector<std::vector<float>>& bands) {
            for (std::size_t j = 0; j < indices.size(); ++j) sum.add(indices[j], bands[j]);
            return status::Ok();
        });
        if (hr.ok()) result = sum.result();
    }
    if (!hr.ok()) Raise(hr);
    py::array_t<float> svfArray({dem.shape(0), dem.shape(1)});
    std::memcpy(svfArray.mutable_data(), result.data(), result.size() * sizeof(float));
    return py::make_tuple(svfArray, p.directions.azimuths);
}

template <typename Sample>
py::array_t<Sample> GreyArray(const encode::GreyImage& image) {
    py::array_t<Sample> grey({static_cast<py::ssize_t>(image.height), static_cast<py::ssize_t>(image.width)});
    Sample* out = grey.mutable_data();
    for (std::size_t i = 0; i < image.samples.size(); ++i) out[i] = static_cast<Sample>(image.samples[i]);
    return grey;
}

py::tuple Shade(const py::array& dem, const Run& run, double sunAzimuth, double sunElevation, int bits) {
    const Prepared p = Prepare(dem, run);
    encode::GreyImage image;
    status::Status hr;
    {
        py::gil_scoped_release free;
        // Only the two bands around the sun are kept; Hillshade reads no other.
        const skyline::Bracket bracket = skyline::BracketOf(p.directions.azimuths, sunAzimuth);
        std::vector<std::vector<float>> kept(p.directions.azimuths.size());
        hr = Sweep(p, run, [&](const std::vector<std::size_t>& indices, std::vector<std::vector<float>>& bands) {
            for (std::size_t j = 0; j < indices.size(); ++j)
                if (indices[j] == bracket.a || indices[j] == bracket.b) kept[indices[j]] = std::move(bands[j]);
            return status::Ok();
        });
        if (hr.ok())
            image = skyline::Hillshade(p.dem.grid, run.cellX, run.cellY, kept, p.directions.azimuths, sunAzimuth,
                                       sunElevation, bits);
    }
    if (!hr.ok()) Raise(hr);
    if (bits == 16) return py::make_tuple(GreyArray<std::uint16_t>(image), p.directions.azimuths);
    return py::make_tuple(GreyArray<std::uint8_t>(image), p.directions.azimuths);
}

Run RunOf(double cellX, double cellY, std::vector<double> wanted, double maxDistance, bool curvature,
          std::optional<double> noData) {
    return {cellX, cellY, std::move(wanted), maxDistance, curvature, noData};
}

}  // namespace

PYBIND11_MODULE(_umbrascope, m) {
    m.doc() = "The sky kernels of umbrascope-sky over numpy arrays (use the umbrascope package).";
    m.attr("NODATA") = skyline::kNoData;
    m.def("even_azimuths", &skyline::EvenAzimuths, py::arg("count"), py::arg("start"));
    m.def(
        "choose_directions",
        [](const std::vector<double>& wanted, double cellX, double cellY) {
            skyline::ChosenDirections chosen;
            status::Status s = skyline::ChooseDirections(wanted, cellX, cellY, &chosen);
            if (!s.ok()) throw py::value_error(s.reason);
            return chosen.azimuths;
        },
        py::arg("azimuths"), py::arg("cell_x"), py::arg("cell_y"));
    m.def(
        "horizons",
        [](const py::array& dem, double cellX, double cellY, std::vector<double> wanted, double maxDistance,
           bool curvature, std::optional<double> noData) {
            return Horizons(dem, RunOf(cellX, cellY, std::move(wanted), maxDistance, curvature, noData));
        },
        py::arg("dem"), py::arg("cell_x"), py::arg("cell_y"), py::arg("azimuths"), py::arg("max_distance"),
        py::arg("curvature"), py::arg("nodata"));
    m.def(
        "sky_view_factor",
        [](const py::array& dem, double cellX, double cellY, std::vector<double> wanted, double maxDistance,
           bool curvature, std::optional<double> noData, const std::string& model) {
            return SkyViewFactor(dem, RunOf(cellX, cellY, std::move(wanted), maxDistance, curvature, noData), model);
        },
        py::arg("dem"), py::arg("cell_x"), py::arg("cell_y"), py::arg("azimuths"), py::arg("max_distance"),
        py::arg("curvature"), py::arg("nodata"), py::arg("model"));
    m.def(
        "shade",
        [](const py::array& dem, double cellX, double cellY, std::vector<double> wanted, double maxDistance,
           bool curvature, std::optional<double> noData, double sunAzimuth, double sunElevation, int bits) {
            return Shade(dem, RunOf(cellX, cellY, std::move(wanted), maxDistance, curvature, noData), sunAzimuth,
                         sunElevation, bits);
        },
        py::arg("dem"), py::arg("cell_x"), py::arg("cell_y"), py::arg("azimuths"), py::arg("max_distance"),
        py::arg("curvature"), py::arg("nodata"), py::arg("sun_azimuth"), py::arg("sun_elevation"), py::arg("bits"));
}
