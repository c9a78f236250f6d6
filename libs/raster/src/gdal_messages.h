#pragma once
// GDAL's messages caught while an object of this type lives on the thread, instead
// of printed: the errors' last text and every warning.
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "status/status.h"

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

    // Adds what GDAL's own threads (compressing blocks, ...) said meanwhile, which
    // no handler of this thread sees: warnings to warnings(), errors to
    // otherErrors(), as only what this thread is told says whether a call failed.
    void gatherOtherThreads();
    const std::vector<std::string>& otherErrors() const { return otherErrors_; }

    // For GDAL's callback only.
    void take(bool error, bool outOfMemory, const char* text);

private:
    std::string lastError_;
    std::vector<std::string> warnings_, otherErrors_;
    bool outOfMemory_ = false;
};

// Registers GDAL's drivers once per process, and a handler that keeps what GDAL
// says on threads without a GdalMessages for the next gatherOtherThreads(); safe
// from any thread.
void RegisterGdal();

// GDAL keeps state of its own per thread (the files being opened, the handlers),
// which memory running out inside it can leave behind: each call runs on a thread
// of its own, so that a failed one leaves nothing for the next.
template <typename Work>
status::Status OnItsOwnThread(const Work& work) {
    status::Status result = status::OutOfMemory();
    try {
        std::thread([&] {
            try {
                result = work();
            } catch (const std::bad_alloc&) {
                result = status::OutOfMemory();
            }
        }).join();
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory();
    } catch (const std::system_error& e) {
        return status::Fail(status::Code::Failed, std::string("no thread for GDAL: ") + e.what());
    }
    return result;
}

// OnItsOwnThread, setting `broken` when memory runs out inside `work`: GDAL may then
// leave the dataset it was working on half made, which must never be closed.
template <typename Work>
status::Status OnItsOwnThread(const Work& work, bool* broken) {
    return OnItsOwnThread([&] {
        try {
            return work();
        } catch (const std::bad_alloc&) {
            *broken = true;
            throw;
        }
    });
}

}  // namespace raster
