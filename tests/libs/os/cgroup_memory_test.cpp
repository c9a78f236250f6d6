#include "os/cgroup_memory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../../support/temp_dir.h"

using os::CgroupVersion;
using os::MemoryCgroup;

namespace {

using Levels = std::vector<std::string>;

// The mounts of a host like this one: v1 controllers, the memory one among them,
// beside a v2 hierarchy without controllers.
const std::string kHybridMounts =
    "31 23 0:28 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
    "32 31 0:29 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
    "35 31 0:32 / /sys/fs/cgroup/memory rw,relatime shared:7 - cgroup cgroup rw,memory\n"
    "40 31 0:37 / /sys/fs/cgroup/systemd rw,relatime - cgroup cgroup rw,name=systemd\n"
    "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";

TEST(CgroupMemory, FindsTheGroupAndItsAncestorsInEachMemoryHierarchy) {
    const struct {
        const char* what;
        std::string cgroup, mountinfo;
        std::vector<MemoryCgroup> expected;
    } cases[] = {
        {"v1 memory beside an empty v2",
         "9:name=systemd:/\n4:memory:/jobs/a1\n1:cpu:/\n0::/\n",
         kHybridMounts,
         {{CgroupVersion::V1, {"/sys/fs/cgroup/memory/jobs/a1", "/sys/fs/cgroup/memory/jobs", "/sys/fs/cgroup/memory"}},
          {CgroupVersion::V2, {"/sys/fs/cgroup/unified"}}}},
        {"v2 only",
         "0::/user.slice/session-2.scope\n",
         "25 20 0:22 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw,nsdelegate\n",
         {{CgroupVersion::V2,
           {"/sys/fs/cgroup/user.slice/session-2.scope", "/sys/fs/cgroup/user.slice", "/sys/fs/cgroup"}}}},
        {"container with its own cgroup namespace",
         "0::/\n",
         "700 690 0:30 / /sys/fs/cgroup ro,nosuid - cgroup2 cgroup rw\n",
         {{CgroupVersion::V2, {"/sys/fs/cgroup"}}}},
        {"container shown its own subtree of v1, in a group below it",
         "7:cpu,memory:/docker/c0ffee/worker\n",
         "800 790 0:40 /docker/c0ffee /sys/fs/cgroup/memory ro - cgroup cgroup rw,cpu,memory\n",
         {{CgroupVersion::V1, {"/sys/fs/cgroup/memory/worker", "/sys/fs/cgroup/memory"}}}},
        {"a mounted subtree that does not hold the group",
         "7:memory:/docker/other\n",
         "800 790 0:40 /docker/c0ffee /sys/fs/cgroup/memory ro - cgroup cgroup rw,memory\n",
         {}},
        {"a root that is only a prefix of the group's name",
         "7:memory:/docker/c0ffee2\n",
         "800 790 0:40 /docker/c0ffee /sys/fs/cgroup/memory ro - cgroup cgroup rw,memory\n",
         {}},
        {"escaped blanks in the mount point, a trailing slash",
         "0::/a b/\n",
         "50 1 0:50 / /mnt/my\\040groups rw - cgroup2 none rw\n",
         {{CgroupVersion::V2, {"/mnt/my groups/a b", "/mnt/my groups"}}}},
        {"a mount of the whole hierarchy on /",
         "0::/x\n",
         "50 1 0:50 / / rw - cgroup2 none rw\n",
         {{CgroupVersion::V2, {"/x", "/"}}}},
        {"no memory controller, malformed lines",
         "3:cpu:/x\nnonsense\n2:memory\n\n4:memory:relative\n",
         "32 31 0:29 / /sys/fs/cgroup/cpu rw - cgroup cgroup rw,cpu\nshort line\n"
         "33 31 0:30 / /sys/fs/cgroup/memory rw - cgroup\n",
         {}},
        {"the first mount that holds the group",
         "4:memory:/g\n",
         "35 31 0:32 /other /a rw - cgroup cgroup rw,memory\n"
         "36 31 0:32 / /b rw - cgroup cgroup rw,memory\n"
         "37 31 0:32 / /c rw - cgroup cgroup rw,memory\n",
         {{CgroupVersion::V1, {"/b/g", "/b"}}}},
    };
    for (const auto& c : cases) {
        const std::vector<MemoryCgroup> found = os::FindMemoryCgroups(c.cgroup, c.mountinfo);
        ASSERT_EQ(found.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].version, c.expected[i].version) << c.what;
            EXPECT_EQ(found[i].levels, c.expected[i].levels) << c.what;
        }
    }
}

TEST(CgroupMemory, ParsesLimitsUsagesAndTheReclaimableCache) {
    const struct {
        const char* text;
        bool parsed;
        std::uint64_t bytes;
    } numbers[] = {
        {"67108864\n", true, 67108864},
        {"9223372036854771712\n", true, 9223372036854771712u},  // v1's "no limit"
        {"18446744073709551615", true, UINT64_MAX},
        {"18446744073709551616", false, 0},
        {"max\n", false, 0},
        {"", false, 0},
        {"\n", false, 0},
        {"-1\n", false, 0},
        {"12k\n", false, 0},
    };
    for (const auto& n : numbers) {
        std::uint64_t bytes = 0;
        EXPECT_EQ(os::ParseCgroupBytes(n.text, &bytes), n.parsed) << n.text;
        EXPECT_EQ(bytes, n.bytes) << n.text;  // 0 as it was, when not parsed
    }

    const std::string v1 =
        "cache 900\nrss 100\ninactive_file 300\nactive_file 600\ntotal_cache 5000\n"
        "total_inactive_file 4000\ntotal_active_file 1000\n";
    const std::string v2 =
        "anon 100\nfile 900\ninactive_anon 10\nactive_anon 90\ninactive_file 700\n"
        "active_file 200\n";
    EXPECT_EQ(os::ReclaimableCacheBytes(v1, CgroupVersion::V1), 4000u);  // with the children, as usage counts
    EXPECT_EQ(os::ReclaimableCacheBytes(v2, CgroupVersion::V2), 700u);
    EXPECT_EQ(os::ReclaimableCacheBytes(v2, CgroupVersion::V1), 0u);
    EXPECT_EQ(os::ReclaimableCacheBytes("", CgroupVersion::V2), 0u);

    EXPECT_EQ(os::GroupHeadroom(1000, 400, 100), 700u);
    EXPECT_EQ(os::GroupHeadroom(1000, 400, 900), 1000u);  // cache beyond usage frees no more
    EXPECT_EQ(os::GroupHeadroom(1000, 1200, 100), 0u);    // over the limit already
    EXPECT_EQ(os::GroupHeadroom(1000, 1000, 0), 0u);
}

// Group directories of our own: the files as the kernel shows them.
class GroupFiles : public testing::Test {
protected:
    std::string level(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files) {
        std::string dir = root_.file(path);
        std::filesystem::create_directories(dir);
        for (const auto& [name, text] : files) std::ofstream(dir + "/" + name, std::ios::binary) << text;
        return dir;
    }
    TempDir root_;
};

TEST_F(GroupFiles, TheLeastHeadroomOverEveryLevelBinds) {
    const std::string job = level("v2/a/job", {{"memory.max", "max\n"}, {"memory.current", "5000000\n"}});
    const std::string parent = level("v2/a", {{"memory.max", "1000000\n"},
                                              {"memory.current", "700000\n"},
                                              {"memory.stat", "anon 500000\ninactive_file 200000\n"}});
    const std::string top = level("v2", {});  // the hierarchy's root: no limit files
    const MemoryCgroup v2{CgroupVersion::V2, {job, parent, top}};
    EXPECT_EQ(os::CgroupHeadroomBytes({v2}), 500000u);  // the parent's: 1000000 - (700000 - 200000)

    level("v2/a/job", {{"memory.max", "300000\n"}, {"memory.current", "100000\n"}});
    EXPECT_EQ(os::CgroupHeadroomBytes({v2}), 200000u);  // now the group's own limit is tighter

    // v1 beside it: no limit ("no limit" is its largest number), then a tight one.
    const std::string v1dir = level(
        "v1/job", {{"memory.limit_in_bytes", "9223372036854771712\n"}, {"memory.usage_in_bytes", "9000000000\n"}});
    const MemoryCgroup v1{CgroupVersion::V1, {v1dir}};
    EXPECT_EQ(os::CgroupHeadroomBytes({v2, v1}), 200000u);
    level("v1/job", {{"memory.limit_in_bytes", "150000\n"},
                     {"memory.usage_in_bytes", "100000\n"},
                     {"memory.stat", "inactive_file 90000\ntotal_inactive_file 30000\n"}});
    EXPECT_EQ(os::CgroupHeadroomBytes({v2, v1}), 80000u);
}

TEST_F(GroupFiles, WhatCannotBeReadSetsNoLimit) {
    const std::string noUsage = level("a", {{"memory.max", "1000\n"}});
    const std::string garbled = level("b", {{"memory.max", "lots\n"}, {"memory.current", "10\n"}});
    const std::string emptyLimit = level("c", {{"memory.max", ""}, {"memory.current", "10\n"}});
    const MemoryCgroup groups{CgroupVersion::V2, {noUsage, garbled, emptyLimit, root_.file("missing")}};
    EXPECT_EQ(os::CgroupHeadroomBytes({groups}), UINT64_MAX);
    EXPECT_EQ(os::CgroupHeadroomBytes({}), UINT64_MAX);
}

}  // namespace
