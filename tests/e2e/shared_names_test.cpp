// Names a save shares: with other runs saving at once, with links other users
// plant in shared directories, with the input maps; and names as long as the
// directory allows. A refused save changes nothing in the directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "tool.h"

namespace {

std::string HeightMap(int i) {
    std::string name = "h";  // appended, not summed: GCC 12 warns falsely on the sum
    return name.append(std::to_string(i)).append(".pgm");
}

// h<i>.pgm, each of other heights, and t.pgm without trees.
void WriteMaps(const TempDir& dir, int count) {
    for (int i = 0; i < count; ++i) {
        std::vector<unsigned char> h(64);
        for (int j = 0; j < 64; ++j) h[j] = static_cast<unsigned char>(j * 7 + i * 13);
        WritePgm(dir.file(HeightMap(i)), 8, 8, h);
    }
    WritePgm(dir.file("t.pgm"), 8, 8, std::vector<unsigned char>(64, 0));
}

std::vector<std::string> Tool(const std::string& height, const std::string& tree, const std::string& out) {
    return {UMBRASCOPE_EXE, "-H", height, "-T", tree, "-r", "8", "-o", out};
}

// Renames that interleave mix the pair in about half of such rounds.
TEST(SharedNames, RunsSavingAtOnceLeaveAPairOfOneRun) {
    TempDir dir;
    WriteMaps(dir, 20);
    const std::string out = dir.file("out.dds");
    for (int round = 0; round < 8; ++round) {
        std::vector<std::thread> runs;
        for (int i = 0; i < 20; ++i)
            runs.emplace_back(
                [&, i] { EXPECT_EQ(RunProcess(Tool(dir.file(HeightMap(i)), dir.file("t.pgm"), out)).exitCode, 0); });
        for (auto& run : runs) run.join();
        ASSERT_TRUE(ReadAll(out) == ReadAll(dir.file("out.winter.dds"))) << "mixed in round " << round;
    }
}

// Every file in `dir`, links followed, with its bytes.
std::map<std::string, std::vector<char>> Contents(const TempDir& dir) {
    std::map<std::string, std::vector<char>> files;
    for (const auto& name : dir.entries()) files[name] = ReadAll(dir.file(name));
    return files;
}

struct Case {
    std::vector<std::string> argv;
    std::string out, companion;  // when saved: written, and equal
    int exitCode;
    std::string said;
};

// Runs each case in `dir`: a refused one changes nothing there.
void Expect(const TempDir& dir, const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        const auto before = Contents(dir);
        const ProcessResult r = RunProcess(c.argv, 60, [&] {
            if (chdir(dir.path().c_str()) != 0) _exit(126);
        });
        EXPECT_EQ(r.exitCode, c.exitCode) << c.out << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
        if (c.exitCode != 0) {
            EXPECT_TRUE(Contents(dir) == before) << "changed by " << c.argv.back();
            continue;
        }
        EXPECT_FALSE(ReadAll(dir.file(c.out)).empty()) << c.out;
        if (!c.companion.empty()) {
            EXPECT_TRUE(ReadAll(dir.file(c.companion)) == ReadAll(dir.file(c.out))) << c.out;
        }
    }
}

// A component may have 255 bytes: the longest output whose companion fits has 248;
// a longer one can have no companion and writes nothing.
TEST(SharedNames, NamesAsLongAsTheDirectoryAllows) {
    TempDir dir;
    WriteMaps(dir, 1);
    const std::string longest(244, 'a'), tooLong(251, 'b'), exported = std::string(251, 'c') + ".exr";
    Expect(dir, {{Tool("h0.pgm", "t.pgm", longest + ".dds"), longest + ".dds", longest + ".winter.dds", 0, "Good day!"},
                 {Tool("h0.pgm", "t.pgm", tooLong + ".dds"), "", "", 6, "ERROR:Can`t save file."},
                 {{UMBRASCOPE_EXPORT_EXE, longest + ".dds", "-c", exported}, exported, "", 0, exported}});
}

TEST(SharedNames, LinksOthersPlantInASharedDirectoryAreNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
    TempDir dir;
    WriteMaps(dir, 1);
    ASSERT_EQ(chmod(dir.path().c_str(), 01777), 0);
    WriteAll(dir.file("private"), "root only");
    ASSERT_EQ(chmod(dir.file("private").c_str(), 0600), 0);
    for (const char* link : {"own.winter.dds", "planted.winter.dds", "planted.exr"}) {
        ASSERT_EQ(symlink("private", dir.file(link).c_str()), 0);
        if (link != std::string("own.winter.dds")) {
            ASSERT_EQ(lchown(dir.file(link).c_str(), 65534, 65534), 0);
        }
    }
    Expect(dir, {{Tool("h0.pgm", "t.pgm", "own.dds"), "own.dds", "own.winter.dds", 0, "Good day!"},
                 {Tool("h0.pgm", "t.pgm", "planted.dds"), "", "", 6, "ERROR:Can`t save file."},
                 {{UMBRASCOPE_EXPORT_EXE, "own.dds", "-c", "planted.exr"}, "", "", 6, "cannot write"}});
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("own.winter.dds")));
}

TEST(SharedNames, AnInputIsNeverWrittenOver) {
    TempDir dir;
    WriteMaps(dir, 1);
    WritePgm(dir.file("t.winter.pgm"), 8, 8, std::vector<unsigned char>(64, 0));
    std::filesystem::create_symlink("h0.pgm", dir.file("link.dds"));
    const std::string denied = "ERROR:Can`t save file.\n" + FailureReport("Access is denied");
    Expect(dir, {{Tool("h0.pgm", "t.pgm", "./h0.pgm"), "", "", 6, denied},
                 {Tool("h0.pgm", "t.winter.pgm", "t.pgm"), "", "", 6, denied},
                 {Tool("h0.pgm", "t.pgm", "link.dds"), "", "", 6, denied}});
}

}  // namespace
