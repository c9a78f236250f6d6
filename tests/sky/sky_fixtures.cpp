#include "sky_fixtures.h"

#include <cstring>

ProcessResult RunSky(std::vector<std::string> arguments, const std::function<void()>& beforeExec) {
    arguments.insert(arguments.begin(), UMBRASCOPE_SKY_EXE);
    return RunProcess(arguments, 120, beforeExec);
}

void WriteInt16Dem(const std::string& path, std::uint32_t width, std::uint32_t height) {
    TiffImage tiff;
    tiff.width = width;
    tiff.height = height;
    tiff.bits = 16;
    tiff.sampleFormat = 2;  // signed
    std::vector<std::int16_t> k(std::size_t{width} * height);
    for (std::size_t i = 0; i < k.size(); ++i) k[i] = static_cast<std::int16_t>((i * 7919) % 3000 - 1000);
    k[3] = -32768;
    tiff.data.resize(k.size() * 2);
    std::memcpy(tiff.data.data(), k.data(), tiff.data.size());
    WriteTiff(path, tiff);
}

std::vector<std::string> InDir(const TempDir& dir, std::vector<std::string> arguments) {
    for (std::string& a : arguments)
        if (const auto at = a.find('@'); at != std::string::npos) a.replace(at, 1, dir.path() + "/");
    return arguments;
}
