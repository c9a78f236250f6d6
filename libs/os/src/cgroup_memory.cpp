#include "os/cgroup_memory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <new>

namespace os {

namespace {

// v1 writes "no limit" as the largest page count it can hold (2^63 - 4096);
// anything from here up limits nothing.
constexpr std::uint64_t kNoLimitFrom = std::uint64_t{1} << 62;

// Splits at `separator`; the pieces view into `text`.
std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return pieces;
        start = end + 1;
    }
}

bool HasToken(std::string_view list, std::string_view token) {
    for (const std::string_view piece : Split(list, ','))
        if (piece == token) return true;
    return false;
}

// mountinfo writes a blank, tab, line feed or backslash in a path as \ooo.
std::string Unescape(std::string_view field) {
    std::string path;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](std::size_t k) { return k < field.size() && field[k] >= '0' && field[k] <= '7'; };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            path.push_back(
                static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            path.push_back(field[i]);
        }
    }
    return path;
}

struct CgroupMount {
    CgroupVersion version;
    std::string root;   // the hierarchy's directory that is mounted, "/" for all of it
    std::string point;  // where it is mounted
};

// The memory hierarchies among the mounts: v1 ones carrying the memory controller,
// and v2.
std::vector<CgroupMount> MemoryMounts(std::string_view mountinfo) {
    std::vector<CgroupMount> mounts;
    for (const std::string_view line : Split(mountinfo, '\n')) {
        const std::vector<std::string_view> fields = Split(line, ' ');
        // id, parent, device, root, mount point, options, optional fields, "-",
        // file system type, source, super block options.
        const auto dash = std::find(fields.begin() + std::min<std::size_t>(fields.size(), 6), fields.end(), "-");
        if (fields.size() < 6 || fields.end() - dash < 4) continue;
        const std::string_view type = dash[1], options = dash[3];
        if (type == "cgroup2") {
            mounts.push_back({CgroupVersion::V2, Unescape(fields[3]), Unescape(fields[4])});
        } else if (type == "cgroup" && HasToken(options, "memory")) {
            mounts.push_back({CgroupVersion::V1, Unescape(fields[3]), Unescape(fields[4])});
        }
    }
    return mounts;
}

// The directories from the group at `path` up to the mount point, or none when the
// group lies outside what is mounted there.
std::vector<std::string> Levels(const CgroupMount& mount, std::string_view path) {
    std::string_view below;  // the group's path inside the mounted directory
    if (mount.root == "/") {
        below = path;
    } else if (path.starts_with(mount.root) && (path.size() == mount.root.size() || path[mount.root.size()] == '/')) {
        below = path.substr(mount.root.size());
    } else {
        return {};
    }
    std::string point = mount.point;
    while (point.size() > 1 && point.back() == '/') point.pop_back();
    if (point == "/") point.clear();
    while (!below.empty() && below.back() == '/') below.remove_suffix(1);
    std::vector<std::string> levels;
    for (;;) {
        std::string level = point;
        level.append(below.empty() && point.empty() ? "/" : below);
        levels.push_back(std::move(level));
        if (below.empty()) return levels;
        const std::size_t slash = below.rfind('/');
        below = below.substr(0, slash == std::string_view::npos ? 0 : slash);
    }
}

// A small file's text into `buffer`, cut at its size; false when unreadable.
[[nodiscard]] bool ReadSmallFile(const char* path, char* buffer, std::size_t size, std::string_view* text) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t used = 0;
    while (used < size) {
        const ssize_t n = read(fd, buffer + used, size - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    close(fd);
    *text = std::string_view(buffer, used);
    return used > 0;
}

[[nodiscard]] bool ReadGroupFile(const std::string& level, const char* name, char* buffer, std::size_t size,
                                 std::string_view* text) {
    char path[4096];
    const int length = std::snprintf(path, sizeof path, "%s/%s", level.c_str(), name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof path) return false;
    return ReadSmallFile(path, buffer, size, text);
}

// One level's headroom, UINT64_MAX when it sets no limit that can be read.
std::uint64_t LevelHeadroom(const std::string& level, CgroupVersion version) {
    const bool v2 = version == CgroupVersion::V2;
    char number[64];
    std::string_view text;
    std::uint64_t limit = 0, usage = 0;
    if (!ReadGroupFile(level, v2 ? "memory.max" : "memory.limit_in_bytes", number, sizeof number, &text) ||
        !ParseCgroupBytes(text, &limit) || limit >= kNoLimitFrom)
        return UINT64_MAX;
    if (!ReadGroupFile(level, v2 ? "memory.current" : "memory.usage_in_bytes", number, sizeof number, &text) ||
        !ParseCgroupBytes(text, &usage))
        return UINT64_MAX;
    char stat[16384];
    std::uint64_t reclaimable = 0;
    if (ReadGroupFile(level, "memory.stat", stat, sizeof stat, &text))
        reclaimable = ReclaimableCacheBytes(text, version);
    return GroupHeadroom(limit, usage, reclaimable);
}

std::string ReadWholeFile(const char* path) {
    std::string text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

}  // namespace

std::vector<MemoryCgroup> FindMemoryCgroups(std::string_view procCgroup, std::string_view mountinfo) {
    const std::vector<CgroupMount> mounts = MemoryMounts(mountinfo);
    std::vector<MemoryCgroup> groups;
    for (const std::string_view line : Split(procCgroup, '\n')) {
        // hierarchy id : controllers : path (which may itself hold colons)
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) continue;
        const std::string_view id = line.substr(0, first), controllers = line.substr(first + 1, second - first - 1);
        const std::string_view path = line.substr(second + 1);
        if (path.empty() || path.front() != '/') continue;
        CgroupVersion version;
        if (id == "0" && controllers.empty()) {
            version = CgroupVersion::V2;
        } else if (HasToken(controllers, "memory")) {
            version = CgroupVersion::V1;
        } else {
            continue;
        }
        for (const CgroupMount& mount : mounts) {
            if (mount.version != version) continue;
            std::vector<std::string> levels = Levels(mount, path);
            if (levels.empty()) continue;
            groups.push_back({version, std::move(levels)});
            break;
        }
    }
    return groups;
}

bool ParseCgroupBytes(std::string_view text, std::uint64_t* bytes) {
    assert(bytes != nullptr);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    if (text.empty()) return false;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        if (__builtin_mul_overflow(value, 10u, &value) || __builtin_add_overflow(value, unsigned(c - '0'), &value))
            return false;
    }
    *bytes = value;
    return true;
}

std::uint64_t ReclaimableCacheBytes(std::string_view stat, CgroupVersion version) {
    const std::string_view key = version == CgroupVersion::V2 ? "inactive_file " : "total_inactive_file ";
    for (const std::string_view line : Split(stat, '\n')) {
        std::uint64_t bytes = 0;
        if (line.starts_with(key) && ParseCgroupBytes(line.substr(key.size()), &bytes)) return bytes;
    }
    return 0;
}

std::uint64_t GroupHeadroom(std::uint64_t limit, std::uint64_t usage, std::uint64_t reclaimable) {
    const std::uint64_t used = usage - std::min(usage, reclaimable);
    return used >= limit ? 0 : limit - used;
}

std::uint64_t CgroupHeadroomBytes(const std::vector<MemoryCgroup>& groups) {
    std::uint64_t headroom = UINT64_MAX;
    for (const MemoryCgroup& group : groups)
        for (const std::string& level : group.levels)
            headroom = std::min(headroom, LevelHeadroom(level, group.version));
    return headroom;
}

const std::vector<MemoryCgroup>& ProcessMemoryCgroups() {
    // Looked up once: where a process's groups are mounted and which group it is in
    // do not change under a run (only an administrator moves a process). Should it
    // be moved, the old group's files still give a bound, or none once the group is
    // gone, and /proc/meminfo still bounds the rest. Read-only after its thread-safe
    // initialisation; the limits and usages themselves are read at every call.
    static const std::vector<MemoryCgroup> groups = [] {
        try {
            return FindMemoryCgroups(ReadWholeFile("/proc/self/cgroup"), ReadWholeFile("/proc/self/mountinfo"));
        } catch (const std::bad_alloc&) {
            return std::vector<MemoryCgroup>{};
        }
    }();
    return groups;
}

}  // namespace os
