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

namespace exporter {

// The file written in pieces, so that a slow disk shows progress.
status::Status WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes, ProgressLine& line) {
    constexpr std::size_t kPiece = std::size_t{16} << 20;
    os::AtomicFile file;
    if (status::Status s = file.open(path); !s.ok()) return s;
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t n = std::min(kPiece, bytes.size() - done);
        if (status::Status s = file.write(bytes.data() + done, n); !s.ok()) return s;
        done += n;
        line.show("writing", static_cast<double>(done) / static_cast<double>(bytes.size()));
    }
    return file.commit();
}

int OutputWriter::writePng(const std::string& path, const encode::GreyImage& image, const encode::GreyImage* right) {
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    std::vector<std::uint8_t> bytes;
    const status::Status made = right != nullptr ? encode::EncodeGreyPngSideBySide(image, *right, &bytes, compression_)
                                                 : encode::EncodeGreyPng(image, &bytes, compression_);
    return finish(path, made, "", bytes, line);
}

int OutputWriter::writeFloat(const std::string& path, const encode::FloatChannels& channels,
                             const std::vector<std::string>& bands, const std::string& noData) {
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    const encode::RowsDone progress = [&](std::uint32_t rows) {
        line.show("making", static_cast<double>(rows) / channels.height);
    };
    // Each goes into its file as its rows are packed.
    std::string why;
    status::Status written;
    if (encode::FloatFormatOf(path) == encode::FloatFormat::Exr) {
        written = encode::WriteFloatExrFile(path, channels, progress, compression_);
    } else {
        encode::FloatTiffStream stream;
        written = stream.open(
            path, channels.width, channels.height, channels.names,
            encode::TiffExtras{.software = kProgram, .moreTags = tags(bands, noData, channels.width, channels.height)},
            &why, compression_, encode::FloatTiffStream::Layout::Interleaved);
        if (written.ok()) written = stream.writeInterleaved(channels, progress, &why);
        if (written.ok()) written = stream.commit(&why);
    }
    if (!written.ok()) {
        Report(err_, "cannot write " + path, written.code, why);
        return FailureCode(written);
    }
    std::fprintf(out_, "wrote %s\n", path.c_str());
    return kExportSuccess;
}

int OutputWriter::writeGrey(const std::string& path, const encode::GreyImage& image, const std::string& band) {
    if (encode::FloatFormatOf(path) != encode::FloatFormat::Tiff) return writePng(path, image);
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    std::vector<std::uint8_t> bytes;
    std::string why;
    const status::Status made =
        encode::EncodeGreyTiff(image, &bytes, &why, tags({band}, "", image.width, image.height), compression_);
    return finish(path, made, why, bytes, line);
}

int OutputWriter::writeMade(const std::string& path, const status::Status& made,
                            const std::vector<std::uint8_t>& bytes) {
    ProgressLine line(err_, std::string(kProgram) + ": " + path);
    return finish(path, made, "", bytes, line);
}

encode::TiffTagWriter OutputWriter::tags(const std::vector<std::string>& bands, const std::string& noData,
                                         std::uint32_t width, std::uint32_t height) const {
    return [this, bands, noData, width, height](TIFF* tiff) -> status::Status {
        if (TIFFSetField(tiff, TIFFTAG_SOFTWARE, kProgram) != 1) return status::Fail(status::Code::Failed, {});
        if (where_.present)
            if (status::Status s = geo::WriteGeoreferencing(tiff, where_, width, height); !s.ok()) return s;
        return geo::WriteGdalTags(tiff, geo::GdalMetadata({}, bands), noData);
    };
}

int OutputWriter::finish(const std::string& path, const status::Status& encoded, const std::string& why,
                         const std::vector<std::uint8_t>& bytes, ProgressLine& line) {
    if (!encoded.ok()) {
        Report(err_, "cannot make " + path, encoded.code, why);
        return FailureCode(encoded);
    }
    if (const status::Status written = WriteFile(path, bytes, line); !written.ok()) {
        Report(err_, "cannot write " + path, written.code);
        return FailureCode(written);
    }
    std::fprintf(out_, "wrote %s\n", path.c_str());
    return kExportSuccess;
}

}  // namespace exporter
