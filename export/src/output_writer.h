#pragma once
// The export companion's outputs: each encoded with the height map's georeferencing
// and band names, then put in place by the outputs library.
#include <cstdio>
#include <string>
#include <vector>

#include "encode/compression.h"
#include "encode/float_channels.h"
#include "encode/grey_image.h"
#include "encode/tiff_encoder.h"
#include "geo/georeferencing.h"
#include "outputs/progress_line.h"
#include "status/status.h"

namespace exporter {

// One output: encoded whole in memory, then written beside its name and renamed.
// TIFFs carry the height map's georeferencing, when it has any, and GDAL's band
// names. Each returns an exit code.
class OutputWriter {
public:
    OutputWriter(std::FILE* out, std::FILE* err, const geo::Georeferencing& where, encode::Compression compression)
        : out_(out), err_(err), where_(where), compression_(compression) {}

    // With `right`, the two pictures side by side.
    [[nodiscard]] int writePng(const std::string& path, const encode::GreyImage& image,
                               const encode::GreyImage* right = nullptr);

    [[nodiscard]] int writeFloat(const std::string& path, const encode::FloatChannels& channels,
                                 const std::vector<std::string>& bands, const std::string& noData = "");

    // A PNG or a TIFF, by its name.
    [[nodiscard]] int writeGrey(const std::string& path, const encode::GreyImage& image, const std::string& band);

    // A file made beforehand, `made` the status of making it.
    [[nodiscard]] int writeMade(const std::string& path, const status::Status& made,
                                const std::vector<std::uint8_t>& bytes);

private:
    encode::TiffTagWriter tags(const std::vector<std::string>& bands, const std::string& noData, std::uint32_t width,
                               std::uint32_t height) const;

    [[nodiscard]] int finish(const std::string& path, const status::Status& encoded, const std::string& why,
                             const std::vector<std::uint8_t>& bytes, outputs::ProgressLine& line);

    std::FILE* out_;
    std::FILE* err_;
    const geo::Georeferencing& where_;
    encode::Compression compression_;
};

}  // namespace exporter
