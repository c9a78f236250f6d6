#include "os/save_target.h"

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <climits>
#include <vector>

#include "os/errno_result.h"

namespace os {

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one lookup

[[nodiscard]] bool ReadLink(const std::string& path, std::string* content) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return false;
    content->assign(buffer.data(), static_cast<std::size_t>(length));
    return true;
}

// Whether a link with this owner, in `directory`, may be followed: not where anyone
// could have planted it, in a sticky world-writable directory, unless it is the
// follower's own or the directory owner's. The rule of the kernel's protected
// links, kept whatever the system's setting, since the save follows links itself.
[[nodiscard]] bool MayFollowLink(const struct stat& link, const std::string& directory) {
    if (link.st_uid == geteuid()) return true;
    struct stat parent {};
    if (stat(directory.c_str(), &parent) != 0) return false;
    constexpr mode_t kShared = S_ISVTX | S_IWOTH;
    return (parent.st_mode & kShared) != kShared || parent.st_uid == link.st_uid;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

status::Status ResolveSaveTarget(const std::string& name, SaveTarget* target) {
    assert(target != nullptr);
    if (name.empty() || name.back() == '/') return status::Fail(status::Code::PathNotFound, {});
    std::string path = name;
    for (int links = 0;; ++links) {
        struct stat seen {};
        if (lstat(path.c_str(), &seen) != 0) {
            if (errno != ENOENT) return FailureOfErrno(errno);
            // Nothing there yet: the file is new, provided its directory exists.
            struct stat directory {};
            if (stat(DirectoryOf(path).c_str(), &directory) != 0) return FailureOfErrno(errno);
            if (!S_ISDIR(directory.st_mode)) return status::Fail(status::Code::PathNotFound, {});
            *target = SaveTarget{path, false, {}};
            return status::Ok();
        }
        if (S_ISREG(seen.st_mode)) {
            *target = SaveTarget{path, true, seen};
            return status::Ok();
        }
        if (!S_ISLNK(seen.st_mode))
            return status::Fail(status::Code::AccessDenied, {});  // directory, device, FIFO or socket
        if (links == kMaxLinks) return FailureOfErrno(ELOOP);
        if (!MayFollowLink(seen, DirectoryOf(path))) return status::Fail(status::Code::AccessDenied, {});
        std::string content;
        if (!ReadLink(path, &content)) return FailureOfErrno(errno);
        if (content.empty()) return status::Fail(status::Code::PathNotFound, {});
        if (content.back() == '/') return status::Fail(status::Code::AccessDenied, {});  // a link to a directory
        path = content.front() == '/' ? content : DirectoryOf(path) + "/" + content;
    }
}

}  // namespace os
