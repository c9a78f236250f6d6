#include "outputs/made_file.h"

#include "outputs/atomic_write.h"
#include "outputs/report_lines.h"

namespace outputs {

status::Status PutMadeFile(const Voice& voice, const std::string& path, const status::Status& made,
                           const std::string& why, const std::vector<std::uint8_t>& bytes, ProgressLine* line) {
    if (!made.ok()) {
        ReportFailure(voice.err, voice.program, "cannot make " + path, made.code, why);
        return made;
    }
    if (status::Status written = WriteFile(path, bytes.data(), bytes.size(), line); !written.ok()) {
        ReportFailure(voice.err, voice.program, "cannot write " + path, written.code);
        return written;
    }
    ReportWrote(voice.out, path);
    return status::Ok();
}

}  // namespace outputs
