#include "output_writer.h"

#include <algorithm>

#include <tiffio.h>

#include "encode/exr_encoder.h"
#include "encode/float_tiff_stream.h"
#include "encode/grey_tiff_encoder.h"
#include "encode/output_file.h"
#include "encode/png_encoder.h"
#include "export/export_run.h"
#include "export_report.h"
#include "geo/gdal_tags.h"
#include "os/atomic_file.h"
#include "results/status_result.h"

namespace exporter {

// The file written in pieces, so that a slow disk shows progress.
HRESULT WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes, ProgressLine& line) {
    constexpr std::size_t kPiece = std::size_t{16} << 20;
    os::AtomicFile file;
    if (const HRESULT hr = ResultOfStatus(file.open(path)); hr != S_OK) return hr;
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t n = std::min(kPiece, bytes.size() - done);
        if (const HRESULT hr = ResultOfStatus(file.write(bytes.data() + done, n)); hr != S_OK) return hr;
        done += n;
        line.show("writing", static_cast<double>(done) / static_cast<double>(bytes.size()));
    }
    return ResultOfStatus(file.commit());
}

int OutputWriter::writePng(const std::string& path, const encode::GreyImage& image, const encode::GreyImage* right) {
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    std::vector<std::uint8_t> bytes;
    const HRESULT hr = right != nullptr ? encode::EncodeGreyPngSideBySide(image, *right, &bytes, compression_)
                                        : encode::EncodeGreyPng(image, &bytes, compression_);
    return finish(path, hr, "", bytes, line);
}

int OutputWriter::writeFloat(const std::string& path, const encode::FloatChannels& channels,
                             const std::vector<std::string>& bands, const std::string& noData) {
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    const encode::RowsDone progress = [&](std::uint32_t rows) {
        line.show("making", static_cast<double>(rows) / channels.height);
    };
    // Each goes into its file as its rows are packed.
    std::string why;
    HRESULT hr = S_OK;
    if (encode::FloatFormatOf(path) == encode::FloatFormat::Exr) {
        hr = encode::WriteFloatExrFile(path, channels, progress, compression_);
    } else {
        encode::FloatTiffStream stream;
        hr = stream.open(
            path, channels.width, channels.height, channels.names,
            encode::TiffExtras{.software = kProgram, .moreTags = tags(bands, noData, channels.width, channels.height)},
            &why, compression_, encode::FloatTiffStream::Layout::Interleaved);
        if (hr == S_OK) hr = stream.writeInterleaved(channels, progress, &why);
        if (hr == S_OK) hr = stream.commit(&why);
    }
    if (hr != S_OK) {
        Report(err_, "cannot write " + path, hr, why);
        return FailureCode(hr);
    }
    std::fprintf(out_, "wrote %s\n", path.c_str());
    return kExportSuccess;
}

int OutputWriter::writeGrey(const std::string& path, const encode::GreyImage& image, const std::string& band) {
    if (encode::FloatFormatOf(path) != encode::FloatFormat::Tiff) return writePng(path, image);
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    std::vector<std::uint8_t> bytes;
    std::string why;
    const HRESULT hr =
        encode::EncodeGreyTiff(image, &bytes, &why, tags({band}, "", image.width, image.height), compression_);
    return finish(path, hr, why, bytes, line);
}

int OutputWriter::writeMade(const std::string& path, HRESULT made, const std::vector<std::uint8_t>& bytes) {
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    return finish(path, made, "", bytes, line);
}

encode::TiffTagWriter OutputWriter::tags(const std::vector<std::string>& bands, const std::string& noData,
                                         std::uint32_t width, std::uint32_t height) const {
    return [this, bands, noData, width, height](TIFF* tiff) {
        if (TIFFSetField(tiff, TIFFTAG_SOFTWARE, kProgram) != 1) return E_FAIL;
        if (where_.present)
            if (!geo::WriteGeoreferencing(tiff, where_, width, height).ok()) return E_FAIL;
        return geo::WriteGdalTags(tiff, geo::GdalMetadata({}, bands), noData).ok() ? S_OK : E_FAIL;
    };
}

int OutputWriter::finish(const std::string& path, HRESULT encoded, const std::string& why,
                         const std::vector<std::uint8_t>& bytes, ProgressLine& line) {
    if (encoded != S_OK) {
        Report(err_, "cannot make " + path, encoded, why);
        return FailureCode(encoded);
    }
    if (const HRESULT hr = WriteFile(path, bytes, line); hr != S_OK) {
        Report(err_, "cannot write " + path, hr);
        return FailureCode(hr);
    }
    std::fprintf(out_, "wrote %s\n", path.c_str());
    return kExportSuccess;
}

}  // namespace exporter
