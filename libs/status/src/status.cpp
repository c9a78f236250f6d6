#include "status/status.h"

#include <cerrno>
#include <cstring>

namespace status {

const char* CodeText(Code code) noexcept {
    switch (code) {
        case Code::Ok: return "Success";
        case Code::InvalidData: return "The data is not valid";
        case Code::NotFound: return "The file does not exist";
        case Code::PathNotFound: return "The folder does not exist";
        case Code::AccessDenied: return "Access is denied";
        case Code::DiskFull: return "There is not enough space on the disk";
        case Code::NameTooLong: return "The file name is too long";
        case Code::TooManyOpenFiles: return "Too many files are open";
        case Code::OutOfMemory: return "Ran out of memory";
        case Code::InvalidArgument: return "An argument is not valid";
        case Code::Failed: break;
    }
    return "The operation failed";
}

std::string Describe(const Status& status) { return status.reason.empty() ? CodeText(status.code) : status.reason; }

Code CodeOfErrno(int error) noexcept {
    switch (error) {
        case ENOENT: return Code::NotFound;
        case ENOTDIR: return Code::PathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return Code::AccessDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return Code::DiskFull;
        case ENOMEM: return Code::OutOfMemory;
        case ENAMETOOLONG: return Code::NameTooLong;
        case EMFILE:
        case ENFILE: return Code::TooManyOpenFiles;
        case EINVAL: return Code::InvalidArgument;
        default: return Code::Failed;
    }
}

Status FromErrno(int error, const std::string& subject) {
    const Code code = CodeOfErrno(error);
    if (code == Code::OutOfMemory) return OutOfMemory();
    return Fail(code, subject + ": " + std::strerror(error));
}

}  // namespace status
