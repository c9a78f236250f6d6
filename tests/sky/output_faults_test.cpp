// umbrascope-sky's outputs where a hostile run found them wanting: the memory they
// need, names that are one file, a standard output that is lost.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "../support/failing_allocation.h"
#include "../support/limited_group.h"
#include "sky/sky_run.h"
#include "sky_fixtures.h"

namespace {

// The DEM loads in the group (24 MB at 1024^2), the run does not fit beside it: the
// run is refused before any file is written, where the kernel used to kill it.
TEST(SkyOutputFaults, TooLittleMemoryIsRefusedBeforeAnyFileIsWritten) {
    if (geteuid() != 0) GTEST_SKIP() << "creating a memory cgroup needs root";
    TempDir dir;
    WriteInt16Dem(dir.path("dem.tif"), 1024, 1024);
    const std::vector<std::string> args =
        InScratch(dir, {"@dem.tif", "--cell=10", "--directions=8", "--svf=@s.tif", "--viewer=@v.html"});
    struct Case {
        std::uint64_t limit;
        int exitCode;
    };
    std::vector<Case> cases = {{40u << 20, 2}};
#ifndef UMBRASCOPE_SANITIZED  // the sanitizers' own memory is not counted
    cases.push_back({128u << 20, 0});
#endif
    for (const Case& c : cases) {
        LimitedGroup group(c.limit);
        if (!group.usable()) GTEST_SKIP() << "no memory cgroup can be created here";
        const ProcessResult r = RunSky(args, 120, group.join());
        EXPECT_EQ(r.signal, 0) << c.limit;
        EXPECT_EQ(r.exitCode, c.exitCode) << c.limit << ": " << r.err;
        if (c.exitCode == 0) continue;
        EXPECT_NE(r.err.find("umbrascope-sky: too little memory to make the files"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(" MB are available"), std::string::npos) << r.err;
        EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"dem.tif"});
    }
}

std::string Contents(std::FILE* file) {
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    return text;
}

// Memory that runs out at any allocation of the run ends it with exit 2 and a
// line, whichever output it hits (or the run does without); exit 6 only where GDAL,
// writing a.tif, catches the failure itself and reports it in its own words.
TEST(SkyOutputFaults, MemoryThatRunsOutLaterIsExitTwo) {
    TempDir dir;
    WriteInt16Dem(dir.path("dem.tif"), 12, 9);
    const sky::ParsedCommandLine parsed = sky::ParseSkyCommandLine(
        InScratch(dir, {"@dem.tif", "--cell=10", "--directions=4", "--angles=@a.tif", "--svf=@s.exr", "--shade=@s.png",
                        "--sun=90,10", "--engine=@e.dds", "--viewer=@v.html"}));
    for (std::size_t n = 0;; ++n) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        failing_allocation::FailFrom(n, false);
        const int code = sky::RunSky(parsed.options, out, err);
        const std::size_t asked = failing_allocation::Disarm();
        const std::string said = Contents(err);
        std::fclose(out);
        std::fclose(err);
        if (n >= asked) break;    // nothing failed
        if (code == 0) continue;  // a thread or a buffer done without
        if (code == 6 && said.find("cannot write " + dir.path("a.tif") + ": ") != std::string::npos) continue;
        EXPECT_EQ(code, 2) << "allocation " << n << ": " << said;
        EXPECT_TRUE(said.find("Ran out of memory") != std::string::npos ||
                    said.find("cannot read the DEM") != std::string::npos)
            << "allocation " << n << ": " << said;
    }
}

// Two outputs that are one file, or an output that is the DEM, by any spelling or
// link, are refused before anything is written, in both companions.
TEST(SkyOutputFaults, OutputsThatAreOneFileAreRefused) {
    TempDir dir;
    WriteInt16Dem(dir.path("p.tif"), 6, 5);
    WriteBytes(dir.path("old.tif"), Bytes{'o', 'l', 'd'});
    WriteBytes(dir.path("hm.dds"), DdsBytes(2, 2, DdsFourCc(116), FloatBytes(std::vector<float>(16, 0.5f))));
    WriteBytes(dir.path("h.png"), PnmBytes('5', 2, 2, 65535, {1, 2, 3, 4}));  // read by content
    std::filesystem::create_symlink("a.tif", dir.path("to-a.tif"));           // a.tif is not there
    std::filesystem::create_hard_link(dir.path("old.tif"), dir.path("hard.tif"));
    std::filesystem::create_symlink("p.tif", dir.path("to-p.tif"));
    std::filesystem::create_hard_link(dir.path("p.tif"), dir.path("hard-p.tif"));
    const std::vector<std::string> before = FileNames(dir.path());
    const Bytes dem = ReadBytes(dir.path("p.tif"));
    const std::string sameAsA = ": it is the same file as the output @a.tif";
    const struct {
        const char* program;
        std::vector<std::string> args;
        std::string refusal;
    } cases[] = {
        {UMBRASCOPE_SKY_EXE, {"@p.tif", "--cell=1", "--angles=@a.tif", "--svf=@./a.tif"}, "@./a.tif" + sameAsA},
        {UMBRASCOPE_SKY_EXE, {"@p.tif", "--cell=1", "--angles=@a.tif", "--svf=@to-a.tif"}, "@to-a.tif" + sameAsA},
        {UMBRASCOPE_SKY_EXE,
         {"@p.tif", "--cell=1", "--angles=@old.tif", "--svf=@hard.tif"},
         "@hard.tif: it is the same file as the output @old.tif"},
        {UMBRASCOPE_EXPORT_EXE, {"@hm.dds", "-c", "@a.tif", "-a", "@./a.tif", "-H", "@h.png"}, "@./a.tif" + sameAsA},
        {UMBRASCOPE_SKY_EXE, {"@p.tif", "--cell=1", "--angles=@./p.tif"}, "@./p.tif: it is the DEM itself"},
        {UMBRASCOPE_SKY_EXE, {"@p.tif", "--cell=1", "--angles=@p.tif"}, "@p.tif: it is the DEM itself"},
        {UMBRASCOPE_SKY_EXE, {"@p.tif", "--cell=1", "--angles=@to-p.tif"}, "@to-p.tif: it is the DEM itself"},
        {UMBRASCOPE_SKY_EXE, {"@p.tif", "--cell=1", "--angles=@hard-p.tif"}, "@hard-p.tif: it is the DEM itself"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = InScratch(dir, c.args);
        args.insert(args.begin(), c.program);
        std::string refusal = "cannot write " + c.refusal;
        for (auto at = refusal.find('@'); at != std::string::npos; at = refusal.find('@', at))
            refusal.replace(at, 1, dir.path() + "/");
        const ProcessResult r = RunProcess(args, 60);
        EXPECT_EQ(r.exitCode, 6) << c.refusal << ": " << r.err;
        EXPECT_NE(r.err.find(refusal), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.refusal;
        EXPECT_EQ(FileNames(dir.path()), before) << c.refusal;
        EXPECT_EQ(ReadBytes(dir.path("old.tif")), (Bytes{'o', 'l', 'd'})) << c.refusal;
        EXPECT_EQ(ReadBytes(dir.path("p.tif")), dem) << c.refusal;
    }
}

// Closed, full or without a reader, standard output changes neither the files nor
// the exit code.
TEST(SkyOutputFaults, ALostStandardOutputChangesNothing) {
    TempDir dir;
    WriteInt16Dem(dir.path("p.tif"), 6, 5);
    ASSERT_EQ(RunSky(InScratch(dir, {"@p.tif", "--cell=1", "--angles=@n.tif"})).exitCode, 0);
    const auto losses = StandardOutputLosses();
    for (std::size_t k = 0; k < losses.size(); ++k) {
        const std::string name = "lost" + std::to_string(k) + ".tif";
        const ProcessResult r = RunSky(InScratch(dir, {"@p.tif", "--cell=1", "--angles=@" + name}), 120, losses[k]);
        EXPECT_EQ(r.signal, 0) << name;
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_EQ(ReadBytes(dir.path(name)), ReadBytes(dir.path("n.tif"))) << name;
    }
}

}  // namespace
