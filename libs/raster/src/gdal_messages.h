#pragma once
// GDAL's messages caught while an object of this type lives on the thread, instead
// of printed: the errors' last text and every warning.
#include <string>
#include <vector>

namespace raster {

class GdalMessages {
public:
    GdalMessages();
    ~GdalMessages();
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;

    const std::string& lastError() const { return lastError_; }
    const std::vector<std::string>& warnings() const { return warnings_; }
    bool outOfMemory() const { return outOfMemory_; }

    // For GDAL's callback only.
    void take(bool error, bool outOfMemory, const char* text);

private:
    std::string lastError_;
    std::vector<std::string> warnings_;
    bool outOfMemory_ = false;
};

// Registers GDAL's drivers once per process; safe from any thread.
void RegisterGdal();

}  // namespace raster
