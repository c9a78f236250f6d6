#pragma once
// The memory the process's control groups still allow it: at its own group and at
// every ancestor (a parent's limit binds its children too), the limit minus what the
// group uses. Containers set such limits; the kernel kills a process that crosses
// one, whatever /proc/meminfo says is free.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace os {

enum class CgroupVersion { V1, V2 };

// One memory hierarchy the process belongs to: the directory of its own group
// first, then each ancestor's, up to the directory the hierarchy is mounted on.
struct MemoryCgroup {
    CgroupVersion version = CgroupVersion::V2;
    std::vector<std::string> levels;
};

// The process's groups in every memory hierarchy that is mounted where it can see
// them (cgroup v1 with the memory controller, cgroup v2), from the texts of
// /proc/self/cgroup and /proc/self/mountinfo. Any texts can be passed: lines it
// cannot read are skipped, and no group found gives an empty list. Exhausted memory
// escapes as std::bad_alloc.
std::vector<MemoryCgroup> FindMemoryCgroups(std::string_view procCgroup, std::string_view mountinfo);

// A limit or usage file's number, trailing line feeds and blanks aside: true with it
// in `bytes` (which must not be null); false, `bytes` unchanged, for "max", an empty
// text, anything but decimal digits, or a number beyond 64 bits.
[[nodiscard]] bool ParseCgroupBytes(std::string_view text, std::uint64_t* bytes);

// The page cache in memory.stat that the kernel reclaims before anything else
// (inactive file pages; in v1 with the children's, as usage counts them): 0 when
// the text does not hold it. Any text can be passed.
std::uint64_t ReclaimableCacheBytes(std::string_view stat, CgroupVersion version);

// What a group still allows: its limit minus its usage, cache that would be
// reclaimed first not counted as used; 0 when it is already over the limit.
std::uint64_t GroupHeadroom(std::uint64_t limit, std::uint64_t usage, std::uint64_t reclaimable);

// The least headroom over every level of every group, from their files as they
// are now; UINT64_MAX when no level sets a limit. A file that cannot be read or
// parsed sets no limit. Reads a few small files and allocates nothing.
std::uint64_t CgroupHeadroomBytes(const std::vector<MemoryCgroup>& groups);

// The process's own groups, looked up on first use and kept; empty when they cannot
// be read or memory runs out finding them. Safe to call from any thread.
const std::vector<MemoryCgroup>& ProcessMemoryCgroups();

}  // namespace os
