#include "raster/raster_writer.h"

#include <fcntl.h>
#include <gdal.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "encode/float_tiles.h"
#include "gdal_dataset.h"
#include "gdal_messages.h"
#include "os/atomic_file.h"
#include "os/save_target.h"

namespace raster {

namespace {

// A list GDAL takes, alive as long as the strings it points into.
class OptionList {
public:
    explicit OptionList(const std::vector<std::string>& options) {
        for (const std::string& o : options) pointers_.push_back(const_cast<char*>(o.c_str()));
        pointers_.push_back(nullptr);
    }
    char** get() { return pointers_.data(); }

private:
    std::vector<char*> pointers_;
};

GDALDataType GdalType(SampleType type) {
    switch (type) {
        case SampleType::Byte: return GDT_Byte;
        case SampleType::UInt16: return GDT_UInt16;
        case SampleType::Float32: break;
    }
    return GDT_Float32;
}

std::string DriverName(const RasterFormat& format) { return format.driver.empty() ? "GTiff" : format.driver; }

bool Says(GDALDriverH driver, const char* item) {
    const char* value = GDALGetMetadataItem(driver, item, nullptr);
    return value != nullptr && EQUAL(value, "YES");
}

// The option's key, upper case; empty when it is not KEY=VALUE.
std::string KeyOf(const std::string& option) {
    const std::size_t equals = option.find('=');
    if (equals == 0 || equals == std::string::npos) return {};
    std::string key = option.substr(0, equals);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

// Whether the words of `list`, separated by spaces, include `word`.
bool Lists(const std::string& list, const std::string& word) {
    for (std::size_t at = list.find(word); at != std::string::npos; at = list.find(word, at + 1))
        if ((at == 0 || list[at - 1] == ' ') && (at + word.size() == list.size() || list[at + word.size()] == ' '))
            return true;
    return false;
}

status::Status Refuse(std::string reason) { return status::Fail(status::Code::InvalidArgument, std::move(reason)); }

status::Status Check(const RasterFormat& format, SampleType type) {
    RegisterGdal();
    GdalMessages messages;
    const std::string name = DriverName(format);
    GDALDriverH driver = GDALGetDriverByName(name.c_str());
    if (driver == nullptr || !Says(driver, GDAL_DCAP_RASTER)) return Refuse("no GDAL raster driver is named " + name);
    if (!Says(driver, GDAL_DCAP_CREATE) && !Says(driver, GDAL_DCAP_CREATECOPY))
        return Refuse("GDAL's " + name + " driver cannot make files");
    const char* types = GDALGetMetadataItem(driver, GDAL_DMD_CREATIONDATATYPES, nullptr);
    const std::string wanted = GDALGetDataTypeName(GdalType(type));
    if (types != nullptr && !Lists(types, wanted))
        return Refuse("GDAL's " + name + " driver cannot write " + wanted + " samples (only " + types + ")");
    for (const std::string& option : format.options)
        if (KeyOf(option).empty()) return Refuse("creation option \"" + option + "\" is not KEY=VALUE");
    OptionList list(format.options);
    // GDAL only warns about options it does not know or values it does not take.
    if (GDALValidateCreationOptions(driver, list.get()) == FALSE || !messages.warnings().empty()) {
        const std::string said = messages.warnings().empty() ? messages.lastError() : messages.warnings().front();
        return Refuse("GDAL's " + name + " driver: " + (said.empty() ? "the creation options are refused" : said));
    }
    return status::Ok();
}

void Replace(std::vector<std::string>* options, const std::string& option) {
    const std::string key = KeyOf(option);
    std::erase_if(*options, [&](const std::string& o) { return KeyOf(o) == key; });
    options->push_back(option);
}

// ".<name>.<pid>.<random><suffix>" beside `target`.
std::string HiddenName(const std::string& target, const std::string& suffix) {
    const std::filesystem::path t(target);
    std::random_device device;
    char tail[32];
    std::snprintf(tail, sizeof tail, ".%ld.%08x", static_cast<long>(getpid()), static_cast<unsigned>(device()));
    std::string name = ".";
    name.append(t.filename().string()).append(tail).append(suffix);
    return (t.parent_path() / name).string();
}

void Remove(const std::string& name) {
    if (name.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(name, ignored);
    std::filesystem::remove(name + ".aux.xml", ignored);
}

// Flushes a regular file to disk; a directory (a Zarr store) is left to the system.
status::Status SyncFile(const std::string& name, const std::string& shown) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return status::FromErrno(errno, shown);
    const int synced = std::filesystem::is_regular_file(name) ? ::fsync(fd) : 0;
    const int error = errno;
    ::close(fd);
    return synced == 0 ? status::Ok() : status::FromErrno(error, shown);
}

}  // namespace

status::Status CheckRasterFormat(const RasterFormat& format, SampleType type) {
    return OnItsOwnThread([&] { return Check(format, type); });
}

std::vector<std::string> CreationOptions(const RasterFormat& format, SampleType type) {
    std::vector<std::string> options;
    if (DriverName(format) == "COG") {
        options = {"COMPRESS=ZSTD", "LEVEL=1",
                   type == SampleType::Float32 ? "PREDICTOR=FLOATING_POINT" : "PREDICTOR=YES", "NUM_THREADS=ALL_CPUS",
                   "BIGTIFF=IF_SAFER"};
    } else if (DriverName(format) == "GTiff") {
        options = {"TILED=YES", "COMPRESS=ZSTD",
                   // Level 1 already packs the angles smaller than deflate did, at several times the speed.
                   "ZSTD_LEVEL=1", type == SampleType::Float32 ? "PREDICTOR=3" : "PREDICTOR=2", "INTERLEAVE=BAND",
                   "BIGTIFF=IF_SAFER"};
    }
    for (const std::string& option : format.options) Replace(&options, option);
    return options;
}

struct RasterWriter::State {
    std::string shown;   // the name as given, in reasons
    std::string target;  // where it goes: the file a link leads to
    std::string hidden;  // the driver's output until commit
    std::string staged;  // the GeoTIFF a copying driver copies; empty when it creates
    std::string driver;
    std::vector<std::string> copyOptions;
    GDALDataType type = GDT_Float32;
    std::uint32_t width = 0, height = 0;
    Dataset dataset;                     // written band by band
    std::vector<std::uint64_t> written;  // texels of each band
    std::vector<std::string> warnings;
    bool committed = false;
    // Memory ran out inside GDAL, which may leave the dataset half made: it is let go,
    // never closed, so that closing it cannot touch what is broken.
    bool broken = false;
    int writeback = -1;  // the file GDAL writes, opened again to start its writeback
    // A float GeoTIFF of the default options given whole bands has its tiles packed by
    // our own encoder (zstd's fast levels, which GDAL does not take), written through
    // libtiff into the file GDAL made, sparse, with every tag; GDAL closes it first.
    bool mayPackTiles = false;
    TIFF* tiff = nullptr;
    std::uint32_t tileSize = 0;

    status::Status failed(GdalMessages& messages, const std::string& doing) {
        keep(messages);
        if (messages.outOfMemory()) return status::OutOfMemory();
        const std::string why = !messages.lastError().empty()     ? messages.lastError()
                                : !messages.otherErrors().empty() ? messages.otherErrors().back()
                                                                  : "GDAL failed " + doing;
        return status::Fail(status::Code::Failed, shown + ": " + why);
    }
    void keep(GdalMessages& messages) {
        messages.gatherOtherThreads();
        for (const std::string& w : messages.warnings()) warnings.push_back(shown + ": " + w);
        for (const std::string& e : messages.otherErrors()) warnings.push_back(shown + ": " + e);
    }
    // The disk takes each band while the next is computed, so that the flush before
    // the rename has little left to wait for. Best effort: a file GDAL keeps
    // elsewhere (a Zarr folder) is left to the system.
    void startWriteback() {
        if (writeback < 0) writeback = ::open((staged.empty() ? hidden : staged).c_str(), O_RDONLY | O_CLOEXEC);
        if (writeback >= 0) ::sync_file_range(writeback, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    void closeWriteback() {
        if (writeback >= 0) ::close(writeback);
        writeback = -1;
    }
    ~State() {
        closeWriteback();
        closeTiff();
        letGoIfBroken();
    }
    void letGoIfBroken() {
        if (broken) static_cast<void>(dataset.release());
    }

    void closeTiff() {
        if (tiff != nullptr) TIFFClose(tiff);
        tiff = nullptr;
    }

    void abandon() {
        closeWriteback();
        closeTiff();
        letGoIfBroken();
        dataset.reset();
        Remove(hidden);
        Remove(staged);
    }

    status::Status open(const std::string& path, const RasterFormat& format, const RasterLayout& layout) {
        if (const status::Status s = Check(format, layout.type); !s.ok())
            return status::Fail(s.code, path + ": " + s.reason);
        if (layout.descriptions.empty() || layout.width == 0 || layout.height == 0)
            return status::Fail(status::Code::InvalidArgument, path + ": no samples to write");
        os::SaveTarget saveTarget;
        if (status::Status s = os::ResolveSaveTarget(path, &saveTarget); !s.ok()) {
            if (s.code != status::Code::OutOfMemory) s.reason = path + ": " + status::Describe(s);
            return s;
        }
        shown = path;
        target = saveTarget.path;
        driver = DriverName(format);
        type = GdalType(layout.type);
        width = layout.width;
        height = layout.height;
        GdalMessages messages;
        GDALDriverH made = GDALGetDriverByName(driver.c_str());
        std::vector<std::string> options = CreationOptions(format, layout.type);
        // Drivers that know their files by the extension (netCDF-4) keep theirs.
        hidden = HiddenName(target, ".tmp" + std::filesystem::path(target).extension().string());
        std::string createdAt = hidden;
        // netCDF's Create refuses dataset items; its CreateCopy writes them.
        if (!Says(made, GDAL_DCAP_CREATE) || driver == "netCDF") {
            copyOptions = std::move(options);
            // Not threaded: read back on threads, GDAL 3.6 garbles the tags of a staged
            // file's tiles.
            options = CreationOptions({}, layout.type);
            made = GDALGetDriverByName("GTiff");
            staged = HiddenName(target, ".stage.tif");
            createdAt = staged;
        }
        // Blocks compress on every core, where there is more than one: GDAL's pool
        // gains nothing on a single tile.
        const bool threaded = std::none_of(options.begin(), options.end(),
                                           [](const std::string& o) { return KeyOf(o) == "NUM_THREADS"; });
        if (staged.empty() && driver == "GTiff" && threaded && std::uint64_t{width} * height > 256 * 256)
            options.push_back("NUM_THREADS=ALL_CPUS");
        mayPackTiles = staged.empty() && driver == "GTiff" && type == GDT_Float32 && format.options.empty();
        if (mayPackTiles) options.push_back("SPARSE_OK=TRUE");
        OptionList list(options);
        dataset.reset(GDALCreate(made, createdAt.c_str(), static_cast<int>(width), static_cast<int>(height),
                                 static_cast<int>(layout.descriptions.size()), type, list.get()));
        if (!dataset) return failed(messages, "to create it");
        // TIFF's own tags mean nothing to other drivers.
        const bool tiff = EQUAL(GDALGetDriverShortName(made), "GTiff");
        for (const auto& [key, value] : layout.metadata)
            if ((tiff || key.rfind("TIFFTAG_", 0) != 0) &&
                GDALSetMetadataItem(dataset.get(), key.c_str(), value.c_str(), nullptr) != CE_None)
                return failed(messages, "to set its " + key);
        if (layout.geotransform) {
            std::array<double, 6> gt = *layout.geotransform;
            if (GDALSetGeoTransform(dataset.get(), gt.data()) != CE_None)
                return failed(messages, "to set its geotransform");
        }
        if (!layout.crsWkt.empty() && GDALSetProjection(dataset.get(), layout.crsWkt.c_str()) != CE_None)
            return failed(messages, "to set its CRS");
        for (std::size_t b = 0; b < layout.descriptions.size(); ++b) {
            GDALRasterBandH band = GDALGetRasterBand(dataset.get(), static_cast<int>(b + 1));
            GDALSetDescription(band, layout.descriptions[b].c_str());
            if (layout.noData && GDALSetRasterNoDataValue(band, *layout.noData) != CE_None)
                return failed(messages, "to set band " + std::to_string(b + 1) + "'s no data");
        }
        written.assign(layout.descriptions.size(), 0);
        keep(messages);
        return status::Ok();
    }

    std::uint64_t texels() const { return std::uint64_t{width} * height; }

    // Closes GDAL's dataset, its tags written and no tile yet, and opens the file for
    // our tiles.
    status::Status startOwnTiles() {
        GdalMessages messages;
        dataset.reset();
        messages.gatherOtherThreads();
        if (!messages.lastError().empty()) return failed(messages, "to close it");
        tiff = TIFFOpen(hidden.c_str(), "r+");
        std::uint32_t tileWidth = 0, tileLength = 0;
        if (tiff == nullptr || TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) != 1 ||
            TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileLength) != 1 || tileWidth != tileLength)
            return failed(messages, "to open it again for its tiles");
        tileSize = tileWidth;
        keep(messages);
        return status::Ok();
    }

    status::Status writeOwnTiles(std::size_t b, const void* samples) {
        GdalMessages messages;  // libtiff's words reach us through GDAL's handlers
        const std::uint32_t tiles = ((width + tileSize - 1) / tileSize) * ((height + tileSize - 1) / tileSize);
        const status::Status s = encode::WritePlaneTiles(tiff, static_cast<const float*>(samples), width, height,
                                                         tileSize, static_cast<std::uint32_t>(b) * tiles);
        if (s.code == status::Code::OutOfMemory) return s;
        if (!s.ok() || !messages.lastError().empty()) return failed(messages, "to write band " + std::to_string(b + 1));
        written[b] = texels();
        startWriteback();
        keep(messages);
        return status::Ok();
    }

    status::Status writeWindow(std::size_t b, std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h,
                               const void* samples) {
        const std::uint64_t area = std::uint64_t{w} * h;
        if ((!dataset && tiff == nullptr) || b >= written.size() || written[b] + area > texels())
            return status::Fail(status::Code::InvalidArgument,
                                shown + ": band " + std::to_string(b + 1) + " is not one still to write");
        if (w == 0 || h == 0 || x > width || w > width - x || y > height || h > height - y)
            return status::Fail(status::Code::InvalidArgument, shown + ": a window outside the raster");
        const bool whole = w == width && h == height;
        if (mayPackTiles) {
            mayPackTiles = false;
            if (whole)
                if (const status::Status s = startOwnTiles(); !s.ok()) return s;
        }
        if (tiff != nullptr) {
            if (!whole) return status::Fail(status::Code::InvalidArgument, shown + ": its bands are written whole");
            return writeOwnTiles(b, samples);
        }
        GdalMessages messages;
        GDALRasterBandH band = GDALGetRasterBand(dataset.get(), static_cast<int>(b + 1));
        // A whole band is flushed at once: its blocks compress while the next band is
        // computed, and a full disk shows here. A window's blocks stay in GDAL's cache
        // until it needs the room: flushed, a block that the next window fills the rest
        // of would be compressed and stored again.
        const bool ok = GDALRasterIO(band, GF_Write, static_cast<int>(x), static_cast<int>(y), static_cast<int>(w),
                                     static_cast<int>(h), const_cast<void*>(samples), static_cast<int>(w),
                                     static_cast<int>(h), type, 0, 0) == CE_None &&
                        (!whole || GDALFlushRasterCache(band) == CE_None);
        messages.gatherOtherThreads();
        if (!ok || !messages.lastError().empty()) return failed(messages, "to write band " + std::to_string(b + 1));
        written[b] += area;
        startWriteback();
        keep(messages);
        return status::Ok();
    }

    status::Status finishFile() {
        GdalMessages messages;
        if (tiff != nullptr) {
            const bool flushed = TIFFFlush(tiff) == 1;
            closeTiff();
            messages.gatherOtherThreads();
            if (!flushed || !messages.lastError().empty()) return failed(messages, "to finish its tiles");
            keep(messages);
            return status::Ok();
        }
        GDALFlushCache(dataset.get());  // void in GDAL 3.6: an error is its word
        messages.gatherOtherThreads();
        if (!messages.lastError().empty()) return failed(messages, "to flush it");
        if (!staged.empty()) {
            OptionList list(copyOptions);
            Dataset copy(GDALCreateCopy(GDALGetDriverByName(driver.c_str()), hidden.c_str(), dataset.get(), FALSE,
                                        list.get(), nullptr, nullptr));
            if (!copy) return failed(messages, "to copy it");
            copy.reset();
        }
        dataset.reset();  // GDAL 3.6 closes without a result: an error now is its word
        messages.gatherOtherThreads();
        if (!messages.lastError().empty()) return failed(messages, "to close it");
        keep(messages);
        Remove(staged);
        staged.clear();
        return status::Ok();
    }

    status::Status commit() {
        if ((!dataset && tiff == nullptr) ||
            std::any_of(written.begin(), written.end(), [&](std::uint64_t n) { return n != texels(); }))
            return status::Fail(status::Code::InvalidArgument, shown + ": not every band is written");
        closeWriteback();
        if (const status::Status s = finishFile(); !s.ok()) return s;
        if (const status::Status s = SyncFile(hidden, shown); !s.ok()) return s;
        // A sidecar GDAL made goes with the file; an old one beside the target goes.
        std::error_code ec;
        const std::string sidecar = hidden + ".aux.xml", targetSidecar = target + ".aux.xml";
        const bool hasSidecar = std::filesystem::exists(sidecar, ec);
        if (std::rename(hidden.c_str(), target.c_str()) != 0) return status::FromErrno(errno, shown);
        hidden.clear();
        committed = true;
        if (!hasSidecar)
            std::filesystem::remove(targetSidecar, ec);
        else if (std::rename(sidecar.c_str(), targetSidecar.c_str()) != 0)
            return status::FromErrno(errno, targetSidecar);
        if (status::Status s = os::SyncDirectory(os::DirectoryOf(target)); !s.ok()) {
            if (s.code != status::Code::OutOfMemory) s.reason = shown + ": " + status::Describe(s);
            return s;
        }
        return status::Ok();
    }
};

RasterWriter::RasterWriter() = default;

RasterWriter::~RasterWriter() {
    if (!state_ || state_->committed) return;
    // Here, not on a thread of its own: there may be no memory for one.
    try {
        GdalMessages quiet;
        state_->abandon();
    } catch (...) {
        // Exhausted memory: the temporary names are removed by the next save's sweep of
        // them only where the file system takes them; nothing else can be done here.
    }
}

status::Status RasterWriter::open(const std::string& path, const RasterFormat& format, const RasterLayout& layout) {
    try {
        state_ = std::make_unique<State>();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    }
    return OnItsOwnThread([&] { return state_->open(path, format, layout); }, &state_->broken);
}

status::Status RasterWriter::writeBand(std::size_t band, const void* samples) {
    if (!state_) return status::Fail(status::Code::InvalidArgument, "no raster is open");
    return OnItsOwnThread(
        [&] {
            if (band < state_->written.size() && state_->written[band] != 0)
                return status::Fail(
                    status::Code::InvalidArgument,
                    state_->shown + ": band " + std::to_string(band + 1) + " is not one still to write");
            return state_->writeWindow(band, 0, 0, state_->width, state_->height, samples);
        },
        &state_->broken);
}

status::Status RasterWriter::writeWindow(std::size_t band, std::uint32_t x, std::uint32_t y, std::uint32_t width,
                                         std::uint32_t height, const void* samples) {
    if (!state_) return status::Fail(status::Code::InvalidArgument, "no raster is open");
    return OnItsOwnThread([&] { return state_->writeWindow(band, x, y, width, height, samples); }, &state_->broken);
}

void SetBlockCacheBytes(std::uint64_t bytes) {
    RegisterGdal();
    GDALSetCacheMax64(static_cast<GIntBig>(std::min<std::uint64_t>(bytes, INT64_MAX)));
}

status::Status RasterWriter::commit() {
    if (!state_) return status::Fail(status::Code::InvalidArgument, "no raster is open");
    return OnItsOwnThread([&] { return state_->commit(); }, &state_->broken);
}

const std::vector<std::string>& RasterWriter::warnings() const {
    static const std::vector<std::string> none;
    return state_ ? state_->warnings : none;
}

}  // namespace raster
