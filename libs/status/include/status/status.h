#pragma once
// What went wrong, as the companions and the libraries they share report it: a kind
// that callers decide on, and a reason for people that names the file (or whatever
// was read or written) and what is wrong with it, e.g. "heights.png: PNG data ends
// after row 812 of 4096".
#include <cstdint>
#include <string>
#include <utility>

namespace status {

enum class Code : std::uint8_t {
    Ok = 0,
    InvalidData,       // content that cannot be read: corrupt, cut short, a kind not read
    NotFound,          // no such file
    PathNotFound,      // a directory on the way is missing, or the name is empty
    AccessDenied,      // not permitted, or something in the way that is no regular file
    DiskFull,          // no room left (space, quota or file size limit)
    NameTooLong,       // a name longer than the file system takes
    TooManyOpenFiles,  // the process or the system holds too many open files
    OutOfMemory,       // memory ran out, or would not hold what was asked for
    InvalidArgument,   // a caller passed what the contract does not allow
    Failed,            // anything else a system call or a library reports
};

// Success, or a failure with its code and reason. Cheap to pass while it is a
// success or out of memory (no text); a reason is the caller's to make.
struct [[nodiscard]] Status {
    Code code = Code::Ok;
    std::string reason;  // empty on success; may be empty on failure

    bool ok() const noexcept { return code == Code::Ok; }
};

// The success value.
inline Status Ok() noexcept { return {}; }

// A failure of `code` (not Ok) for the reason given. Exhausted memory while the
// reason is copied escapes as std::bad_alloc; pass an rvalue to avoid the copy.
inline Status Fail(Code code, std::string reason) { return {code, std::move(reason)}; }

// Memory ran out: no text is made, so this never allocates.
inline Status OutOfMemory() noexcept { return {Code::OutOfMemory, {}}; }

// A few words for `code` alone, without a full stop: "Ran out of memory", "There is
// not enough space on the disk", ... Never null; never fails.
const char* CodeText(Code code) noexcept;

// What a person is told: the reason, or CodeText(code) when there is none.
// Exhausted memory escapes as std::bad_alloc.
std::string Describe(const Status& status);

// The code of an errno value (ENOENT NotFound, ENOTDIR PathNotFound, EACCES,
// EPERM, EROFS, EISDIR AccessDenied, ENOSPC, EDQUOT, EFBIG DiskFull, ENOMEM
// OutOfMemory, ENAMETOOLONG NameTooLong, EMFILE, ENFILE TooManyOpenFiles, EINVAL
// InvalidArgument, anything else Failed). Never Ok.
Code CodeOfErrno(int error) noexcept;

// A failure for `error`, its reason "`subject`: " and the system's words for it
// (strerror), e.g. "out/a.tif: No space left on device". Exhausted memory escapes
// as std::bad_alloc.
Status FromErrno(int error, const std::string& subject);

}  // namespace status
