#include "output_writer.h"

#include <tiffio.h>

#include "encode/exr_encoder.h"
#include "encode/float_tiff_stream.h"
#include "encode/grey_tiff_encoder.h"
#include "encode/png_encoder.h"
#include "export/export_run.h"
#include "export_report.h"
#include "geo/gdal_tags.h"
#include "outputs/made_file.h"
#include "outputs/name_format.h"
#include "outputs/report_lines.h"

namespace exporter {

int OutputWriter::writePng(const std::string& path, const encode::GreyImage& image, const encode::GreyImage* right) {
    outputs::ProgressLine line(err_, std::string(kProgram) + ": " + path);
    std::vector<std::uint8_t> bytes;
    const status::Status made = right != nullptr ? encode::EncodeGreyPngSideBySide(image, *right, &bytes, compression_)
                                                 : encode::EncodeGreyPng(image, &bytes, compression_);
    return finish(path, made, "", bytes, line);
}

int OutputWriter::writeFloat(const std::string& path, const encode::FloatChannels& channels,
                             const std::vector<std::string>& bands, const std::string& noData) {
    outputs::ProgressLine line(err_, std::string(kProgram) + ": " + path);
    const encode::RowsDone progress = [&](std::uint32_t rows) {
        line.show("making", static_cast<double>(rows) / channels.height);
    };
    // Each goes into its file as its rows are packed.
    std::string why;
    status::Status written;
    if (outputs::FloatFormatOf(path) == outputs::FloatFormat::Exr) {
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
    outputs::ReportWrote(out_, path);
    return kExportSuccess;
}

int OutputWriter::writeGrey(const std::string& path, const encode::GreyImage& image, const std::string& band) {
    if (outputs::FloatFormatOf(path) != outputs::FloatFormat::Tiff) return writePng(path, image);
    outputs::ProgressLine line(err_, std::string(kProgram) + ": " + path);
    std::vector<std::uint8_t> bytes;
    std::string why;
    const status::Status made =
        encode::EncodeGreyTiff(image, &bytes, &why, tags({band}, "", image.width, image.height), compression_);
    return finish(path, made, why, bytes, line);
}

int OutputWriter::writeMade(const std::string& path, const status::Status& made,
                            const std::vector<std::uint8_t>& bytes) {
    outputs::ProgressLine line(err_, std::string(kProgram) + ": " + path);
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
                         const std::vector<std::uint8_t>& bytes, outputs::ProgressLine& line) {
    const status::Status put = outputs::PutMadeFile({kProgram, out_, err_}, path, encoded, why, bytes, &line);
    return put.ok() ? kExportSuccess : FailureCode(put);
}

}  // namespace exporter
