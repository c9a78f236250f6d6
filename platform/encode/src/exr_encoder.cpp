#include "platform/encode/exr_encoder.h"

#include "platform/encode/encoded_size.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfOutputFile.h>
#include <ImfThreading.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>

namespace exporter {

namespace {

class MemoryStream final : public Imf::OStream {
public:
    explicit MemoryStream(std::vector<std::uint8_t>* bytes) : Imf::OStream("export"), bytes_(bytes) {}

    void write(const char c[], int n) override {
        const auto count = static_cast<std::size_t>(n);
        try {
            // Appended bytes are copied once, without clearing them first; the offset
            // table is written over in place.
            if (position_ > bytes_->size()) bytes_->resize(static_cast<std::size_t>(position_));
            const auto at = static_cast<std::size_t>(position_);
            const std::size_t over = std::min(count, bytes_->size() - at);
            std::memcpy(bytes_->data() + at, c, over);
            bytes_->insert(bytes_->end(), c + over, c + count);
        } catch (const std::bad_alloc&) {
            failed_ = true;
            throw;
        }
        position_ += count;
    }
    std::uint64_t tellp() override { return position_; }
    void seekp(std::uint64_t position) override { position_ = position; }

    // The output file writes its offset table when destroyed and swallows a
    // failure there; this one remembers it.
    bool failed() const { return failed_; }

private:
    bool failed_ = false;
    std::vector<std::uint8_t>* bytes_;
    std::uint64_t position_ = 0;
};

// Rows handed to the library at a time, between reports.
constexpr int kRowsPerCall = 256;

// False when memory ran out where the library could not say so.
[[nodiscard]] bool Encode(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, const RowsDone& progress,
                          Compression compression) {
    // Both cores compress chunks. RLE, after the same byte split and differences as
    // ZIP, keeps pace with the disk where zip at its fastest level takes five times as long.
    static std::once_flag threads;
    std::call_once(threads, [] { Imf::setGlobalThreadCount(2); });
    Imf::Header header(static_cast<int>(channels.width), static_cast<int>(channels.height));
    header.compression() = compression == Compression::None ? Imf::NO_COMPRESSION : Imf::RLE_COMPRESSION;
    Imf::FrameBuffer frame;
    for (std::size_t i = 0; i < channels.planes.size(); ++i) {
        header.channels().insert(channels.names[i], Imf::Channel(Imf::FLOAT));
        // The buffer is only read; the library's slice type wants a char*.
        char* base = reinterpret_cast<char*>(const_cast<float*>(channels.planes[i].data()));
        frame.insert(channels.names[i],
                     Imf::Slice(Imf::FLOAT, base, sizeof(float), sizeof(float) * std::size_t{channels.width}));
    }
    const std::uint64_t raw = std::uint64_t{channels.width} * channels.height * channels.planes.size() * 4;
    bytes->reserve(static_cast<std::size_t>(EncodedBytesBound(raw, channels.height)));
    MemoryStream stream(bytes);
    {
        Imf::OutputFile file(stream, header);
        file.setFrameBuffer(frame);
        for (int done = 0; done < static_cast<int>(channels.height);) {
            const int rows = std::min(kRowsPerCall, static_cast<int>(channels.height) - done);
            file.writePixels(rows);
            done += rows;
            if (progress) progress(static_cast<std::uint32_t>(done));
        }
    }
    return !stream.failed();
}

}  // namespace

HRESULT EncodeFloatExr(const FloatChannels& channels, std::vector<std::uint8_t>* bytes, std::string* why,
                       const RowsDone& progress, Compression compression) {
    if (bytes == nullptr || why == nullptr || channels.planes.empty() ||
        channels.names.size() != channels.planes.size() || channels.width == 0 || channels.height == 0 ||
        channels.width > 0x7FFFFFFF || channels.height > 0x7FFFFFFF) {
        return E_INVALIDARG;
    }
    bytes->clear();
    try {
        if (Encode(channels, bytes, progress, compression)) return S_OK;
        bytes->clear();
        return E_OUTOFMEMORY;
    } catch (const std::bad_alloc&) {
        bytes->clear();
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        bytes->clear();
        *why = std::string("OpenEXR: ") + e.what();
        return E_FAIL;
    } catch (...) {
        bytes->clear();
        *why = "OpenEXR failed";
        return E_FAIL;
    }
}

}  // namespace exporter
