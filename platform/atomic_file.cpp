#include "platform/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string HiddenTempName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device seed;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", seed());
    return dir + "." + base + suffix;
}

// Large pieces keep the system calls few; writes and copies may return short anyway.
constexpr std::size_t kChunk = std::size_t{64} << 20;

}  // namespace

TerminationSignalsBlocked::TerminationSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&blocked, s);
    pthread_sigmask(SIG_BLOCK, &blocked, &saved_);
}

TerminationSignalsBlocked::~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

HRESULT ResultFromErrno(int error) {
    switch (error) {
        case ENOENT: return ResultFromBits(0x80070003u);  // the path (its directory) is missing
        case EACCES:
        case EPERM:
        case EROFS: return ResultFromBits(0x80070005u);
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ResultFromBits(0x80070070u);  // disk full
        case ENOMEM: return E_OUTOFMEMORY;
        case ENAMETOOLONG: return ResultFromBits(0x800700CEu);
        default: return E_FAIL;
    }
}

AtomicFile::~AtomicFile() { abandon(); }

void AtomicFile::abandon() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!tempName_.empty()) unlink(tempName_.c_str());
    tempName_.clear();
    signalsHeld_.reset();
}

HRESULT AtomicFile::open(const std::string& path) {
    abandon();
    target_ = path;
    struct stat existing {};
    if (path.empty() || path.back() == '/') return ResultFromBits(0x80070003u);
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) return ResultFromBits(0x80070005u);
    fd_ = ::open(DirectoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) return S_OK;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return ResultFromErrno(errno);
    // A named temporary must not outlive an interrupt: hold the termination
    // signals until it is renamed or removed.
    signalsHeld_ = std::make_unique<TerminationSignalsBlocked>();
    tempName_ = HiddenTempName(path);
    fd_ = ::open(tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const int error = errno;
        tempName_.clear();
        signalsHeld_.reset();
        return ResultFromErrno(error);
    }
    return S_OK;
}

HRESULT AtomicFile::write(const void* data, std::size_t bytes) {
    if (fd_ < 0) return E_FAIL;
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const std::size_t chunk = bytes < kChunk ? bytes : kChunk;
        const ssize_t written = ::write(fd_, p, chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            return ResultFromErrno(errno);
        }
        if (written == 0) return ResultFromErrno(ENOSPC);
        p += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return S_OK;
}

HRESULT AtomicFile::copyFrom(int source) {
    if (fd_ < 0) return E_FAIL;
    for (;;) {
        // In-kernel copy; plain reads and writes where the file systems cannot.
        const ssize_t copied = copy_file_range(source, nullptr, fd_, nullptr, kChunk, 0);
        if (copied == 0) return S_OK;
        if (copied > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return ResultFromErrno(errno);
        break;
    }
    std::vector<char> buffer(std::size_t{1} << 20);
    for (;;) {
        const ssize_t got = read(source, buffer.data(), buffer.size());
        if (got == 0) return S_OK;
        if (got < 0) {
            if (errno == EINTR) continue;
            return ResultFromErrno(errno);
        }
        if (const HRESULT hr = write(buffer.data(), static_cast<std::size_t>(got)); hr != S_OK) return hr;
    }
}

HRESULT CopyFileAtomically(const std::string& source, const std::string& target) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return ResultFromErrno(errno);
    AtomicFile out;
    HRESULT hr = out.open(target);
    if (hr == S_OK) hr = out.copyFrom(in);
    close(in);
    return hr == S_OK ? out.commit() : hr;
}

HRESULT AtomicFile::commit() {
    if (fd_ < 0) return E_FAIL;
    if (fdatasync(fd_) != 0) return ResultFromErrno(errno);
    if (tempName_.empty()) {
        // Link the unnamed file under a hidden name, then rename it over the target.
        const std::string linked = HiddenTempName(target_);
        char procPath[64];
        std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd_);
        TerminationSignalsBlocked quiet;
        if (linkat(AT_FDCWD, procPath, AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return ResultFromErrno(errno);
        if (rename(linked.c_str(), target_.c_str()) != 0) {
            const int error = errno;
            unlink(linked.c_str());
            return ResultFromErrno(error);
        }
    } else if (rename(tempName_.c_str(), target_.c_str()) != 0) {
        return ResultFromErrno(errno);
    } else {
        tempName_.clear();
    }
    if (close(fd_) != 0) {
        fd_ = -1;
        return ResultFromErrno(errno);
    }
    fd_ = -1;
    signalsHeld_.reset();
    return S_OK;
}
