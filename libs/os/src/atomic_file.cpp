#include "os/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <random>
#include <string>

namespace os {

namespace {

// The longest name a file may have in `directory`.
std::size_t LongestNameIn(const std::string& directory) {
    const long longest = pathconf(directory.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX;
}

// ".<name>.<pid>.<random>.tmp" beside `path`; where that would be longer than the
// directory allows, though the name itself is not, a short
// ".umbrascope.<pid>.<random>.tmp". The process id tells a later save whether the
// file's maker still runs.
std::string HiddenTempName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device seed;
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%08x.tmp", static_cast<long>(getpid()), seed());
    const std::string hidden = "." + base + suffix;
    if (hidden.size() <= LongestNameIn(DirectoryOf(path))) return dir + hidden;
    return dir + ".umbrascope" + suffix;
}

// The maker's process id when `name` is a hidden temporary of `base` (or a short
// one) as HiddenTempName makes them, else 0.
long MakerOf(const std::string& name, const std::string& base) {
    std::string rest;
    for (const std::string& prefix : {"." + base + ".", std::string(".umbrascope.")})
        if (rest.empty() && name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
            rest = name.substr(prefix.size());
    // "<pid>.<8 hex digits>.tmp"
    const std::size_t dot = rest.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 9 || rest.size() != dot + 13 ||
        rest.compare(dot + 9, 4, ".tmp") != 0)
        return 0;
    for (std::size_t i = 0; i < dot; ++i)
        if (!std::isdigit(static_cast<unsigned char>(rest[i]))) return 0;
    for (std::size_t i = dot + 1; i < dot + 9; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(rest[i]))) return 0;
    return std::stol(rest.substr(0, dot));
}

// A run killed between naming its file and renaming it over `path` (nothing can
// hold off SIGKILL) leaves the hidden name behind: removed here, when its maker no
// longer runs. Best effort: failures change nothing.
void RemoveStaleTemporaries(const std::string& path) noexcept {
    try {
        const auto slash = path.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(DirectoryOf(path).c_str()), &closedir);
        if (!listing) return;
        while (const dirent* entry = readdir(listing.get())) {
            const long maker = MakerOf(entry->d_name, base);
            if (maker == 0 || maker == getpid() || kill(static_cast<pid_t>(maker), 0) == 0 || errno != ESRCH) continue;
            struct stat seen {};
            const std::string stale = dir + entry->d_name;
            if (lstat(stale.c_str(), &seen) == 0 && S_ISREG(seen.st_mode)) unlink(stale.c_str());
        }
    } catch (const std::bad_alloc&) {
        // Left for a later save.
    }
}

void ProcPathOf(int fd, char (&path)[64]) { std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd); }

// An unnamed file in `directory`, or -1 with errno set. Such a file can only be
// given a name through /proc: without /proc none is made (EOPNOTSUPP).
int OpenUnnamed(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    char procPath[64];
    ProcPathOf(fd, procPath);
    struct stat seen {};
    if (stat(procPath, &seen) != 0) {
        close(fd);
        errno = EOPNOTSUPP;
        return -1;
    }
    return fd;
}

}  // namespace

AtomicFile::~AtomicFile() { abandon(); }

void AtomicFile::abandon() {
    writer_.reset();
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!tempName_.empty()) unlink(tempName_.c_str());
    tempName_.clear();
}

status::Status AtomicFile::open(const std::string& path, DirectWriter::Mode mode) {
    abandon();
    finished_ = false;
    if (status::Status s = ResolveSaveTarget(path, &target_); !s.ok()) return s;
    try {
        RemoveStaleTemporaries(target_.path);
        fd_ = OpenUnnamed(DirectoryOf(target_.path));
        if (fd_ < 0) {
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return FailureOfErrno(errno);
            // A named temporary must not outlive an interrupt.
            if (!signalsHeld_) signalsHeld_ = std::make_unique<TerminationSignalsBlocked>();
            tempName_ = HiddenTempName(target_.path);
            fd_ = ::open(tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            if (fd_ < 0) {
                const int error = errno;
                tempName_.clear();
                return FailureOfErrno(error);
            }
        }
        if (status::Status s = keepOwnerAndMode(); !s.ok()) {
            abandon();
            return s;
        }
        writer_ = std::make_unique<DirectWriter>(fd_, mode);
    } catch (const std::bad_alloc&) {
        abandon();
        return status::OutOfMemory();
    }
    return status::Ok();
}

status::Status AtomicFile::keepOwnerAndMode() {
    if (!target_.exists) return status::Ok();  // a new file follows the umask
    // The owner first: changing it may clear set-id bits that the mode then restores.
    // Where the process may not give the file away, it stays the process's own.
    const struct stat& old = target_.existing;
    if (fchown(fd_, old.st_uid, old.st_gid) != 0 && errno != EPERM) return FailureOfErrno(errno);
    if (fchmod(fd_, old.st_mode & 07777) != 0) return FailureOfErrno(errno);
    return status::Ok();
}

status::Status AtomicFile::write(const void* data, std::size_t bytes) {
    if (fd_ < 0 || finished_) return status::Fail(status::Code::Failed, {});
    return writer_->write(data, bytes);
}

status::Status AtomicFile::writeAt(std::uint64_t offset, const void* data, std::size_t bytes) {
    if (fd_ < 0 || finished_ || writer_->direct()) return status::Fail(status::Code::Failed, {});
    const auto* p = static_cast<const unsigned char*>(data);
    while (bytes > 0) {
        const ssize_t written = pwrite(fd_, p, bytes, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return FailureOfErrno(errno);
        if (written == 0) return FailureOfErrno(ENOSPC);
        p += written;
        bytes -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return status::Ok();
}

status::Status AtomicFile::finish() {
    if (fd_ < 0) return status::Fail(status::Code::Failed, {});
    if (finished_) return status::Ok();
    if (status::Status s = writer_->finish(); !s.ok()) return s;
    if (fdatasync(fd_) != 0) return FailureOfErrno(errno);
    finished_ = true;
    return status::Ok();
}

status::Status AtomicFile::commit(DirectorySync sync) {
    if (status::Status s = finish(); !s.ok()) return s;
    if (tempName_.empty()) {
        // Link the unnamed file under a hidden name, then rename it over the target.
        const std::string linked = HiddenTempName(target_.path);
        char procPath[64];
        ProcPathOf(fd_, procPath);
        TerminationSignalsBlocked quiet;
        if (linkat(AT_FDCWD, procPath, AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW) != 0) return FailureOfErrno(errno);
        if (rename(linked.c_str(), target_.path.c_str()) != 0) {
            const int error = errno;
            unlink(linked.c_str());
            return FailureOfErrno(error);
        }
    } else if (rename(tempName_.c_str(), target_.path.c_str()) != 0) {
        return FailureOfErrno(errno);
    } else {
        tempName_.clear();
    }
    writer_.reset();
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) return FailureOfErrno(errno);
    return sync == DirectorySync::Now ? SyncDirectory(DirectoryOf(target_.path)) : status::Ok();
}

status::Status SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FailureOfErrno(errno);
    int result = fsync(fd);
    const int error = errno;
    close(fd);
    if (result != 0 && error != EINVAL && error != EROFS) return FailureOfErrno(error);
    return status::Ok();
}

}  // namespace os
