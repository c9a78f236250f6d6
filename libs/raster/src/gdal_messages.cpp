#include "gdal_messages.h"

#include <cpl_error.h>
#include <gdal.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace raster {

namespace {

// GDAL reports the allocations that fail inside it in words of its own.
bool SaysOutOfMemory(CPLErrorNum number, const char* text) {
    return number == CPLE_OutOfMemory || (text != nullptr && (std::strstr(text, "bad_alloc") != nullptr ||
                                                              std::strstr(text, "ut of memory") != nullptr));
}

void CPL_STDCALL Collect(CPLErr kind, CPLErrorNum number, const char* text) {
    auto* messages = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
    if (messages != nullptr && kind >= CE_Warning)
        messages->take(kind != CE_Warning, SaysOutOfMemory(number, text), text != nullptr ? text : "");
}

// A message on one line, as each of ours is: some drivers break theirs.
std::string OneLine(const char* text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

struct Stray {
    bool error, outOfMemory;
    std::string text;
};

std::mutex strayLock;
std::vector<Stray> strays;

void CPL_STDCALL CollectStray(CPLErr kind, CPLErrorNum number, const char* text) {
    if (kind < CE_Warning) return;
    const std::lock_guard<std::mutex> hold(strayLock);
    try {
        strays.push_back({kind != CE_Warning, SaysOutOfMemory(number, text), text != nullptr ? text : ""});
    } catch (...) {
        // Lost to exhausted memory, as in take().
    }
}

}  // namespace

void GdalMessages::gatherOtherThreads() {
    std::vector<Stray> taken;
    {
        const std::lock_guard<std::mutex> hold(strayLock);
        taken.swap(strays);
    }
    for (const Stray& s : taken) {
        outOfMemory_ = outOfMemory_ || s.outOfMemory;
        try {
            (s.error ? otherErrors_ : warnings_).push_back(OneLine(s.text.c_str()));
        } catch (...) {
            // Lost to exhausted memory, as in take().
        }
    }
}

GdalMessages::GdalMessages() { CPLPushErrorHandlerEx(Collect, this); }

GdalMessages::~GdalMessages() { CPLPopErrorHandler(); }

void GdalMessages::take(bool error, bool outOfMemory, const char* text) {
    outOfMemory_ = outOfMemory_ || outOfMemory;
    try {
        if (error)
            lastError_ = OneLine(text);
        else
            warnings_.push_back(OneLine(text));
    } catch (...) {
        // A message lost to exhausted memory; the failure itself still comes back.
    }
}

void RegisterGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetErrorHandlerEx(CollectStray, nullptr);
    });
}

}  // namespace raster
