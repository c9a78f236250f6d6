// The companion's command line, and what each kind of failure ends with.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>

#include "cli/failure_words.h"
#include "export/export_options.h"
#include "export_fixtures.h"
#include "platform/result_reason.h"
#include "results/status_result.h"

using exporter::CommandLineAction;
using exporter::ExportOptions;
using exporter::ParsedCommandLine;

namespace {

using Args = std::vector<std::string>;

TEST(ExportCommandLine, ReadsEachSpellingOfAnOption) {
    const ParsedCommandLine p = exporter::ParseExportCommandLine(
        {"-Hheights.png", "--Height=600", "-s", "1e4", "-z", "\"-35.5\"", "--preview", "out/p", "-cc.exr",
         "--channels=c.tif", "-a", "a.exr", "--16-bit", "--range", "20", "--shrink=4", "--", "-map.dds"});
    ASSERT_EQ(p.action, CommandLineAction::Run) << p.error;
    const ExportOptions& o = p.options;
    EXPECT_EQ(o.heightMap, "heights.png");
    EXPECT_EQ(o.terrain.height, 600.0f);
    EXPECT_EQ(o.terrain.terraSize, 10000.0f);
    EXPECT_EQ(o.terrain.heightZero, -35.5f);
    EXPECT_EQ(o.previewPrefix, "out/p");
    EXPECT_EQ(o.channelFiles, (Args{"c.exr", "c.tif"}));
    EXPECT_EQ(o.angleFiles, (Args{"a.exr"}));
    EXPECT_EQ(o.bitDepth, 16);
    EXPECT_EQ(o.rangeDegrees, 20.0);
    EXPECT_EQ(o.shrink, 4u);
    EXPECT_EQ(o.horizonMap, "-map.dds");
}

// The companions print the tool's words for a failure of each kind, as they did
// while they passed its result codes.
TEST(ExportCommandLine, FailureWordsAreTheToolsForEveryCode) {
    for (int c = 0; c <= static_cast<int>(status::Code::Failed); ++c) {
        const auto code = static_cast<status::Code>(c);
        EXPECT_EQ(cli::FailureWords(code), platform::ResultReason(ResultOfStatus({code, {}}))) << c;
    }
}

TEST(ExportCommandLine, HelpVersionAndNothing) {
    EXPECT_EQ(exporter::ParseExportCommandLine({}).action, CommandLineAction::Usage);
    EXPECT_EQ(exporter::ParseExportCommandLine({"--bogus", "--help"}).action, CommandLineAction::Help);
    EXPECT_EQ(exporter::ParseExportCommandLine({"m.dds", "--version"}).action, CommandLineAction::Version);
    EXPECT_EQ(exporter::ParseExportCommandLine({"-p", "x", "--", "--help"}).action, CommandLineAction::Run);
}

TEST(ExportCommandLine, RefusesMistakesWithAReason) {
    const struct {
        Args args;
        const char* reason;
    } cases[] = {
        {{"m.dds", "-p", "x", "--bogus"}, "unknown option --bogus"},
        {{"m.dds", "-p", "x", "-q"}, "unknown option -q"},
        {{"m.dds", "-p"}, "-p needs a value"},
        {{"m.dds", "-p", "x", "--Height"}, "--Height needs a value"},
        {{"m.dds", "-p", "x", "--16-bit=yes"}, "takes no value"},
        {{"m.dds", "-p", "x", "-h", "600m"}, "needs a number"},
        {{"m.dds", "-p", "x", "-h", " 600"}, "needs a number"},
        {{"m.dds", "-p", "x", "-z", "1e40"}, "beyond the range"},
        {{"m.dds", "-p", "x", "-s", "0"}, "bad Terrain Size"},
        {{"m.dds", "-p", "x", "--shrink", "0"}, "--shrink must be"},
        {{"m.dds", "-p", "x", "--shrink", "1.5"}, "--shrink must be"},
        {{"m.dds", "-p", "x", "--range", "91"}, "--range must be"},
        {{"m.dds"}, "nothing to write"},
        {{"-p", "x"}, "no horizon map"},
        {{"m.dds", "n.dds", "-p", "x"}, "one horizon map at a time"},
        {{"m.dds", "-a", "a.exr"}, "--angles needs the height map"},
        {{"m.dds", "--height-png", "h.png"}, "--height-png needs the height map"},
        {{"m.dds", "-c", "c.png"}, "must end in .exr, .tif or .tiff"},
        {{"m.dds", "-c", "c.exr", "-c", "c.exr"}, "named twice"},
        {{"m.dds", "-p", "x", "--height-png", "x.red.png", "-H", "h.png"}, "named twice"},
        {{"m.dds", "--viewer", "v.html"}, "--viewer needs the height map"},
        {{"m.dds", "-H", "h.png", "--viewer", "v.html", "--viewer-size", "1"}, "--viewer-size must be"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine p = exporter::ParseExportCommandLine(c.args);
        EXPECT_EQ(p.action, CommandLineAction::Error) << c.reason;
        EXPECT_NE(p.error.find(c.reason), std::string::npos) << p.error;
    }
}

// Every failure: a line on standard error, its exit code, and no file written.
TEST(ExportFailures, EndWithTheirExitCodesAndWriteNothing) {
    TempDir dir;
    WriteBytes(dir.path("m.dds"), DdsBytes(2, 2, DdsFourCc(116), FloatBytes(std::vector<float>(16, 0.5f))));
    WriteBytes(dir.path("r32.dds"), DdsBytes(2, 2, DdsFourCc(114), FloatBytes(std::vector<float>(4, 0.5f))));
    WriteBytes(dir.path("h.pgm"), PnmBytes('5', 2, 2, 255, {0, 9, 90, 255}));
    WriteBytes(dir.path("cut.pgm"), PnmBytes('5', 2, 2, 255, {0, 9, 90}));  // the work on row 0 waits for row 1
    const std::string out = dir.path("out");
    std::filesystem::create_directory(out);
    const struct {
        Args args;
        int code;
        const char* message;
    } cases[] = {
        {{}, 7, "Usage: umbrascope-export"},
        {{dir.path("m.dds"), "--bogus"}, 7, "unknown option"},
        {{dir.path("none.dds"), "-p", out + "/p"}, 2, "cannot find the file"},
        {{dir.path("r32.dds"), "-p", out + "/p"}, 2, "FourCC 114"},
        {{dir.path("m.dds"), "-a", out + "/a.exr", "-p", out + "/p", "-H", dir.path("none.png")},
         2,
         "cannot load the height map"},
        {{dir.path("m.dds"), "-a", out + "/a.exr", "--shade", out + "/s.png", "--sun", "5", "-H", dir.path("cut.pgm")},
         2,
         "cannot load the height map"},
        {{dir.path("m.dds"), "-c", dir.path("missing/c.exr")}, 6, "cannot write"},
        {{dir.path("m.dds"), "-H", dir.path("h.pgm"), "--viewer", dir.path("missing/v.html")}, 6, "cannot write"},
        {{dir.path("m.dds"), "-c", out}, 7, "must end in"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunExporter(c.args);
        EXPECT_EQ(r.exitCode, c.code) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(std::filesystem::is_empty(out)) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("missing")));
}

TEST(ExportFailures, AFailedRunLeavesOlderFilesAndWritesNothing) {
    TempDir dir;
    WriteBytes(dir.path("m.dds"), DdsBytes(2, 2, DdsFourCc(116), FloatBytes(std::vector<float>(16, 0.5f))));
    WriteBytes(dir.path("p.red.png"), Bytes{'o', 'l', 'd'});
    // Inputs are read before anything is written.
    ProcessResult r = RunExporter(
        {dir.path("m.dds"), "-p", dir.path("p"), "--height-png", dir.path("h.png"), "-H", dir.path("none.png")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(ReadBytes(dir.path("p.red.png")), (Bytes{'o', 'l', 'd'}));

    // Every name is looked at before the first file is written: one that cannot take
    // a file, whichever it is, leaves the earlier ones unwritten too.
    const struct {
        const char* blocked;  // made a directory
        Args args;
    } cases[] = {
        {"p.green.png", {"-p", dir.path("p")}},
        {"p.both.png", {"-p", dir.path("p")}},
        {"c.tif", {"-p", dir.path("p"), "-c", dir.path("c.exr"), "-c", dir.path("c.tif")}},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directory(dir.path(c.blocked));
        Args args = c.args;
        args.insert(args.begin(), dir.path("m.dds"));
        r = RunExporter(args);
        EXPECT_EQ(r.exitCode, 6) << c.blocked;
        EXPECT_NE(r.err.find("cannot write " + dir.path(c.blocked)), std::string::npos) << r.err;
        EXPECT_EQ(ReadBytes(dir.path("p.red.png")), (Bytes{'o', 'l', 'd'})) << c.blocked;
        Args expected{"m.dds", "p.red.png", c.blocked};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(FileNames(dir.path()), expected) << c.blocked;
        std::filesystem::remove(dir.path(c.blocked));
    }
}

// A float file cut short while it streams into place (the file-size limit) fails
// the run and leaves the older file as it was, with nothing beside it.
TEST(ExportFailures, AFloatFileCutShortLeavesTheOlderOne) {
    TempDir dir;
    std::vector<float> texels(64 * 64 * 4);
    for (std::size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<float>(i % 997) / 997;
    WriteBytes(dir.path("m.dds"), DdsBytes(64, 64, DdsFourCc(116), FloatBytes(texels)));
    for (const char* name : {"c.tif", "c.exr"}) {
        WriteBytes(dir.path(name), Bytes{'o', 'l', 'd'});
        const ProcessResult r = RunExporter({dir.path("m.dds"), "-c", dir.path(name), "--uncompressed"}, [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{20000, 20000};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        EXPECT_EQ(r.exitCode, 6) << name << ": " << r.err;
        EXPECT_EQ(ReadBytes(dir.path(name)), (Bytes{'o', 'l', 'd'})) << name;
        EXPECT_EQ(FileNames(dir.path()).size(), 2u) << name;
        std::filesystem::remove(dir.path(name));
    }
}

// An output that is an input, however it is spelled or linked, is refused before
// anything is written, and every input stays as it was.
TEST(ExportFailures, AnOutputThatIsAnInputIsRefused) {
    TempDir dir;
    const std::string map = dir.path("m.tif"), heights = dir.path("h.tif");  // read by content, whatever the name
    WriteBytes(map, DdsBytes(2, 2, DdsFourCc(116), FloatBytes(std::vector<float>(16, 0.5f))));
    WriteBytes(heights, PnmBytes('5', 2, 2, 65535, {1, 2, 3, 4}));
    std::filesystem::create_symlink("m.tif", dir.path("link.exr"));
    std::filesystem::create_hard_link(heights, dir.path("hard.red.png"));
    const Args before = FileNames(dir.path());
    const Bytes mapBytes = ReadBytes(map), heightBytes = ReadBytes(heights);
    const Args cases[] = {
        {map, "-H", heights, "--height-png", heights},
        {map, "-p", dir.path("p"), "-H", heights, "-a", heights},
        {map, "-p", dir.path("p"), "-c", dir.path("./m.tif")},
        {map, "-p", dir.path("p"), "-c", dir.path("link.exr")},
        {map, "-p", dir.path("hard"), "-H", heights, "-a", dir.path("a.exr")},
    };
    for (const auto& args : cases) {
        const ProcessResult r = RunExporter(args);
        EXPECT_EQ(r.exitCode, 6) << args[2];
        EXPECT_NE(r.err.find("it is the input"), std::string::npos) << r.err;
        EXPECT_EQ(ReadBytes(map), mapBytes);
        EXPECT_EQ(ReadBytes(heights), heightBytes);
        EXPECT_EQ(FileNames(dir.path()), before) << args[2];
    }
}

// Cut anywhere before the end of its last mip level, a horizon map is refused.
TEST(ExportFailures, ACutShortHorizonMapIsRefused) {
    TempDir dir;
    ASSERT_EQ(MakeHorizonMap(dir, MakeTerrain(8, true), dir.path("m.dds"), {}).exitCode, 0);
    const Bytes whole = ReadBytes(dir.path("m.dds"));
    const std::size_t level0 = 128 + 8 * 8 * 16;
    for (const std::size_t length : {std::size_t{128}, level0 - 1, level0, level0 + 100, whole.size() - 1}) {
        WriteBytes(dir.path("cut.dds"), Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        const ProcessResult r = RunExporter({dir.path("cut.dds"), "-p", dir.path("p"), "-c", dir.path("c.exr")});
        EXPECT_EQ(r.exitCode, 2) << length;
        EXPECT_NE(r.err.find("cut short"), std::string::npos) << length << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path("p.red.png"))) << length;
    }
}

// Closed, full or without a reader, standard output changes neither the files nor
// the exit code, and nothing is said about it.
TEST(ExportFailures, ALostStandardOutputChangesNothing) {
    TempDir dir;
    WriteBytes(dir.path("m.dds"), DdsBytes(2, 2, DdsFourCc(116), FloatBytes(std::vector<float>(16, 0.5f))));
    const auto args = [&](const std::string& p) {
        return Args{dir.path("m.dds"), "-p", dir.path(p), "-c", dir.path(p)};
    };
    ASSERT_EQ(RunExporter(args("n.exr")).exitCode, 0);
    const auto losses = StandardOutputLosses();
    for (std::size_t k = 0; k < losses.size(); ++k) {
        const auto& lose = losses[k];
        const std::string p = "lost" + std::to_string(k) + ".exr";
        const ProcessResult r = RunExporter(args(p), lose);
        EXPECT_EQ(r.exitCode, 0) << p;
        EXPECT_EQ(r.err, "") << p;
        for (const std::string file : {"", ".red.png", ".green.png", ".both.png"})
            EXPECT_EQ(ReadBytes(dir.path(p + file)), ReadBytes(dir.path("n.exr" + file))) << p << file;
    }
}

// A disk that fills while a file is written: exit 6, said in words, nothing left.
TEST(ExportFailures, AFullDiskIsNamed) {
    TempDir dir;
    ASSERT_EQ(MakeHorizonMap(dir, MakeTerrain(256, true), dir.path("m.dds"), {}).exitCode, 0);
    const auto names = [&] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    };
    const std::vector<std::string> before = names();
    const auto full = [] {  // files may grow to 4 KB only; writing past it fails with EFBIG
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
    };
    for (const char* name : {"c.tif", "c.exr", "p"}) {
        const ProcessResult r = RunExporter({dir.path("m.dds"), name[0] == 'p' ? "-p" : "-c", dir.path(name)}, full);
        EXPECT_EQ(r.exitCode, 6) << name;
        EXPECT_NE(r.err.find("There is not enough space on the disk"), std::string::npos) << r.err;
    }
    EXPECT_EQ(names(), before);
}

}  // namespace
