#include "jpeg_decoder.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <string>

#include "bad_data.h"
#include "image/image_file.h"
#include "os/memory_budget.h"

namespace image {

namespace {

// libjpeg reports errors by longjmp. The functions below that call setjmp are plain:
// no object with a destructor lives in their frames, and after a jump they only
// return. The callbacks libjpeg calls are plain too.

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

// A progressive file with thousands of tiny scans costs a full pass each.
constexpr int kMaxScans = 1000;
constexpr std::size_t kInputBufferBytes = 64 * 1024;

struct JpegInput {
    jpeg_source_mgr manager;
    ImageFile* file;
    JOCTET buffer[kInputBufferBytes];
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1); }

// Corrupt-data warnings fail the load: libjpeg would go on and return made-up texels.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC) return;
    OnJpegError(cinfo);
}

void OnJpegOutput(j_common_ptr /*cinfo*/) {}

void OnJpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        OnJpegError(cinfo);
    }
}

void InitInput(j_decompress_ptr /*cinfo*/) {}

boolean FillInput(j_decompress_ptr cinfo) {
    auto* input = reinterpret_cast<JpegInput*>(cinfo->src);
    const std::size_t n = input->file->read(input->buffer, sizeof input->buffer);
    // Unlike the stdio source, no fake end marker: a truncated file is an error.
    if (n == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
    input->manager.next_input_byte = input->buffer;
    input->manager.bytes_in_buffer = n;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* input = reinterpret_cast<JpegInput*>(cinfo->src);
    const auto skip = static_cast<std::size_t>(count);
    if (skip <= input->manager.bytes_in_buffer) {
        input->manager.next_input_byte += skip;
        input->manager.bytes_in_buffer -= skip;
        return;
    }
    input->file->seek(input->file->position() + (skip - input->manager.bytes_in_buffer));
    input->manager.bytes_in_buffer = 0;
}

void TermInput(j_decompress_ptr /*cinfo*/) {}

[[nodiscard]] bool CreateDecompressor(j_decompress_ptr cinfo, JpegErrors* errors) {
    if (setjmp(errors->jump)) return false;
    jpeg_create_decompress(cinfo);
    return true;
}

[[nodiscard]] bool ReadJpegHeader(j_decompress_ptr cinfo, JpegErrors* errors, bool* multipleScans) {
    if (setjmp(errors->jump)) return false;
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
    *multipleScans = jpeg_has_multiple_scans(cinfo) != 0;
    return true;
}

[[nodiscard]] bool StartJpeg(j_decompress_ptr cinfo, JpegErrors* errors) {
    if (setjmp(errors->jump)) return false;
    return jpeg_start_decompress(cinfo) != 0;
}

[[nodiscard]] bool ReadJpegRows(j_decompress_ptr cinfo, JpegErrors* errors, JSAMPLE* destination, std::size_t rowBytes,
                                std::uint32_t count) {
    if (setjmp(errors->jump)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        JSAMPROW row = destination + i * rowBytes;
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
    }
    return true;
}

[[nodiscard]] bool FinishJpeg(j_decompress_ptr cinfo, JpegErrors* errors) {
    if (setjmp(errors->jump)) return false;
    return jpeg_finish_decompress(cinfo) != 0;
}

// The whole-image coefficient buffer that multi-scan files need: 64 coefficients of
// 2 bytes per block, blocks rounded up to whole MCUs.
[[nodiscard]] bool CoefficientBytes(const jpeg_decompress_struct& cinfo, std::uint64_t* bytes) {
    *bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        std::uint64_t blocks = 0;
        if (!os::CheckedMul(std::uint64_t{component.width_in_blocks} + cinfo.max_h_samp_factor,
                            std::uint64_t{component.height_in_blocks} + cinfo.max_v_samp_factor, 128, &blocks)) {
            return false;
        }
        if (__builtin_add_overflow(*bytes, blocks, bytes)) return false;
    }
    return true;
}

class JpegSource final : public RowSource {
public:
    JpegSource() = default;
    ~JpegSource() override {
        if (created_) jpeg_destroy_decompress(&cinfo_);
    }
    JpegSource(const JpegSource&) = delete;
    JpegSource& operator=(const JpegSource&) = delete;

    [[nodiscard]] status::Status open(ImageFile& file) {
        cinfo_.err = jpeg_std_error(&errors_.manager);
        errors_.manager.error_exit = &OnJpegError;
        errors_.manager.emit_message = &OnJpegMessage;
        errors_.manager.output_message = &OnJpegOutput;
        if (!CreateDecompressor(&cinfo_, &errors_)) return status::OutOfMemory();
        created_ = true;

        input_.file = &file;
        input_.manager.init_source = &InitInput;
        input_.manager.fill_input_buffer = &FillInput;
        input_.manager.skip_input_data = &SkipInput;
        input_.manager.resync_to_restart = &jpeg_resync_to_restart;
        input_.manager.term_source = &TermInput;
        input_.manager.next_input_byte = nullptr;
        input_.manager.bytes_in_buffer = 0;
        cinfo_.src = &input_.manager;
        progress_.progress_monitor = &OnJpegProgress;
        cinfo_.progress = &progress_;

        bool multipleScans = false;
        if (!ReadJpegHeader(&cinfo_, &errors_, &multipleScans)) return broken("JPEG header cut short or damaged");
        if (cinfo_.jpeg_color_space == JCS_GRAYSCALE && cinfo_.num_components == 1) {
            cinfo_.out_color_space = JCS_GRAYSCALE;
            info_.layout = ChannelLayout::Grey;
        } else if ((cinfo_.jpeg_color_space == JCS_YCbCr || cinfo_.jpeg_color_space == JCS_RGB) &&
                   cinfo_.num_components == 3) {
            cinfo_.out_color_space = JCS_RGB;
            info_.layout = ChannelLayout::Rgb;
        } else {
            return BadData("JPEG of " + std::to_string(cinfo_.num_components) + " components is not read");
        }
        info_.width = cinfo_.image_width;
        info_.height = cinfo_.image_height;
        info_.type = SampleType::U8;
        info_.maxValue = 255;

        const std::uint64_t available = os::AvailableMemoryBytes();
        if (multipleScans) {
            std::uint64_t bytes = 0;
            const bool fits = CoefficientBytes(cinfo_, &bytes);
            if (!os::CheckFitsInMemory(bytes, !fits).ok()) return status::OutOfMemory();
        }
        // libjpeg then refuses, rather than makes, any allocation beyond that.
        cinfo_.mem->max_memory_to_use = static_cast<long>(std::min<std::uint64_t>(available, LONG_MAX));

        if (!StartJpeg(&cinfo_, &errors_)) return broken("JPEG data is damaged before its first row");
        if (cinfo_.output_width != info_.width || cinfo_.output_height != info_.height ||
            cinfo_.output_components != static_cast<int>(info_.channels())) {
            return BadData("JPEG decodes to another size than its header says");
        }
        return status::Ok();
    }

    status::Status readRows(std::uint8_t* destination, std::uint32_t count) override {
        if (!ReadJpegRows(&cinfo_, &errors_, destination, info_.rowBytes(), count))
            return broken(("JPEG data ends or is damaged after row " + std::to_string(cinfo_.output_scanline) +
                           " of " + std::to_string(info_.height))
                              .c_str());
        rowsRead_ += count;
        if (rowsRead_ == info_.height && !FinishJpeg(&cinfo_, &errors_))
            return broken("JPEG ends or is damaged after its last row");
        return status::Ok();
    }

private:
    jpeg_decompress_struct cinfo_{};
    // `what`, with libjpeg's words for its last message.
    status::Status broken(const char* what) {
        char text[JMSG_LENGTH_MAX] = {};
        if (errors_.manager.msg_code != 0) errors_.manager.format_message(reinterpret_cast<j_common_ptr>(&cinfo_), text);
        return BadData(text[0] == 0 ? std::string(what) : std::string(what) + " (libjpeg: " + text + ")");
    }

    JpegErrors errors_{};
    JpegInput input_{};
    jpeg_progress_mgr progress_{};
    bool created_ = false;
    std::uint32_t rowsRead_ = 0;
};

}  // namespace

status::Status OpenJpegSource(ImageFile& file, std::unique_ptr<RowSource>* source) {
    auto jpeg = std::make_unique<JpegSource>();
    if (status::Status hr = jpeg->open(file); !hr.ok()) return hr;
    *source = std::move(jpeg);
    return status::Ok();
}

}  // namespace image
