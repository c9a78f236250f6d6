#include "cli/failure_words.h"

namespace cli {

const char* FailureWords(status::Code code) noexcept {
    switch (code) {
        case status::Code::Ok: return "The function completed successfully";
        case status::Code::InvalidData: return "Invalid data";
        case status::Code::NotFound: return "The system cannot find the file specified";
        case status::Code::PathNotFound: return "The system cannot find the path specified";
        case status::Code::AccessDenied: return "Access is denied";
        case status::Code::DiskFull: return "There is not enough space on the disk";
        case status::Code::NameTooLong: return "The file name is too long";
        case status::Code::TooManyOpenFiles: return "The system cannot open the file";
        case status::Code::OutOfMemory: return "Ran out of memory";
        case status::Code::InvalidArgument: return "An invalid parameter was passed to the returning function";
        case status::Code::Failed: break;
    }
    return "An undetermined error occurred";
}

}  // namespace cli
