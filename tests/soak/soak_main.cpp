// The soak: the tool (the sanitizer build) run hundreds of times in a row on
// generated command lines and maps. Every run must end by itself within the time
// bound, with an exit code of 0 to 7, nothing on standard error (where the
// sanitizers report), no file left behind but the two it writes on success, and
// those two identical and equal to the plain computation.
//   umbrascope_soak --tool <path> [--runs 500] [--seed 1] [--timeout 60] [--work <dir>] [--keep]
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../support/run_process.h"
#include "app/intake.h"
#include "command_model.h"
#include "expected_output.h"
#include "platform/wide_text.h"
#include "settings/tool_settings.h"
#include "soak_maps.h"

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string tool;
    int runs = 500;
    std::uint64_t seed = 1;
    int timeoutSeconds = 60;
    std::string work;
    bool keep = false;
};

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--tool" && hasValue) {
            o->tool = fs::absolute(argv[++i]).string();
        } else if (a == "--runs" && hasValue) {
            o->runs = std::atoi(argv[++i]);
        } else if (a == "--seed" && hasValue) {
            o->seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--timeout" && hasValue) {
            o->timeoutSeconds = std::atoi(argv[++i]);
        } else if (a == "--work" && hasValue) {
            o->work = fs::absolute(argv[++i]).string();
        } else if (a == "--keep") {
            o->keep = true;
        } else {
            return false;
        }
    }
    return !o->tool.empty() && o->runs > 0 && o->timeoutSeconds > 0;
}

// MemAvailable: the tool refuses textures beyond it, so resolutions needing more
// must end in "out of memory".
std::uint64_t AvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit)
        if (key == "MemAvailable:") return kib * 1024;
    return 0;
}

// The command line as a shell would take it back.
std::string ShellQuoted(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& a : args) {
        text += ' ';
        bool plain = !a.empty();
        for (const unsigned char c : a) plain = plain && c >= 0x20 && c < 0x7F && c != '\'';
        if (plain) {
            text += "'" + a + "'";
            continue;
        }
        text += "$'";
        for (const unsigned char c : a) {
            char escaped[8];
            if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
                text += static_cast<char>(c);
            } else {
                std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
                text += escaped;
            }
        }
        text += "'";
    }
    return text;
}

std::set<std::string> FilesUnder(const fs::path& dir) {
    std::set<std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir))
        files.insert(fs::relative(e.path(), dir).string() + (e.is_directory() ? "/" : ""));
    return files;
}

std::vector<char> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The settings the tool's own intake reads from a command line.
bool SettingsFromIntake(const std::vector<std::string>& args, ModelSettings* s) {
    ToolSettings.resetToDefaults();
    std::vector<const char*> argv{"umbrascope"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    if (!app::TakeCommandLine(static_cast<int>(argv.size()), argv.data())) return false;
    app::CopyParsedValues();
    s->heightMap = platform::NarrowToBytes(ToolSettings.HMfname);
    s->treeMap = platform::NarrowToBytes(ToolSettings.TMfname);
    s->outName = platform::NarrowToBytes(ToolSettings.Outfname);
    s->outRez = ToolSettings.OutRez;
    s->height = ToolSettings.Height;
    s->terraSize = ToolSettings.TerraSize;
    s->heightZero = ToolSettings.HeightZero;
    return true;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string DescribeSettings(const ModelSettings& s) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, " r=%d h=%.9g s=%.9g z=%.9g", s.outRez, static_cast<double>(s.height),
                  static_cast<double>(s.terraSize), static_cast<double>(s.heightZero));
    return "H=" + s.heightMap + " T=" + s.treeMap + " o=" + s.outName + numbers;
}

// Everything wrong with one run; empty when it kept every promise.
std::vector<std::string> CheckRun(const SoakCase& c, const ProcessResult& r, const fs::path& runDir,
                                  const std::set<std::string>& before, int timeoutSeconds) {
    std::vector<std::string> problems;
    if (r.timedOut) problems.push_back("did not end within " + std::to_string(timeoutSeconds) + " s");
    if (r.signal != 0) problems.push_back("ended by signal " + std::to_string(r.signal));
    if (!r.timedOut && r.signal == 0 && (r.exitCode < 0 || r.exitCode > 7))
        problems.push_back("exit code " + std::to_string(r.exitCode));
    if (!r.err.empty()) problems.push_back("standard error: " + r.err.substr(0, 2000));
    if (c.expectedExit >= 0 && r.exitCode != c.expectedExit)
        problems.push_back("exit code " + std::to_string(r.exitCode) + ", expected " + std::to_string(c.expectedExit));
    if (!problems.empty()) return problems;

    const bool success = r.exitCode == 0;
    if (success && !EndsWith(r.out, "Application work successfully finished. Good day!"))
        problems.push_back("success without the closing line");
    if (!success && !EndsWith(r.out, "Press any key for exit..."))
        problems.push_back("failure without the closing line");

    std::set<std::string> made;
    for (const std::string& f : FilesUnder(runDir))
        if (!before.contains(f)) made.insert(f);

    if (!success) {
        for (const std::string& f : made) problems.push_back("left behind: " + f);
        return problems;
    }

    ModelSettings read;
    if (!SettingsFromIntake(c.args, &read)) {
        problems.push_back("the tool succeeded on a line its intake refuses");
        return problems;
    }
    if (c.settings) {
        const ModelSettings& m = *c.settings;
        if (read.heightMap != m.heightMap || read.treeMap != m.treeMap || read.outName != m.outName ||
            read.outRez != m.outRez || !SameBits(read.height, m.height) || !SameBits(read.terraSize, m.terraSize) ||
            !SameBits(read.heightZero, m.heightZero)) {
            problems.push_back("the intake reads " + DescribeSettings(read) + ", generated " + DescribeSettings(m));
            return problems;
        }
    }
    const std::string out = fs::path(read.outName).lexically_normal().string();
    const std::string companion = fs::path(CompanionName(read.outName)).lexically_normal().string();
    for (const std::string& f : made) {
        if (f != out && f != companion) problems.push_back("left behind: " + f);
    }
    if (!made.contains(out) || !made.contains(companion)) {
        problems.push_back("missing output: " + out + " and " + companion);
        return problems;
    }
    const std::vector<char> first = ReadWhole(runDir / out);
    const std::vector<char> second = ReadWhole(runDir / companion);
    if (first != second) problems.push_back("the two files differ");
    const ExpectedLevel expected = ComputeExpectedLevel(read, runDir.string());
    if (!expected.error.empty()) {
        problems.push_back(expected.error);
        return problems;
    }
    const std::string difference = CompareDdsFile(first, static_cast<std::uint32_t>(read.outRez), expected.texels);
    if (!difference.empty()) problems.push_back(out + ": " + difference);
    return problems;
}

struct Failure {
    int run;
    std::string command;
    std::string kind;
    std::vector<std::string> problems;
    std::string kept;
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, &o)) {
        std::fprintf(stderr, "usage: %s --tool <path> [--runs 500] [--seed 1] [--timeout 60] [--work <dir>] [--keep]\n",
                     argv[0]);
        return 2;
    }
    if (o.work.empty()) {
        std::string pattern = (fs::temp_directory_path() / "umbrascope-soak-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 2;
        }
        o.work = pattern;
    }
    fs::create_directories(o.work);
    // Sanitizer reports must reach standard error and end the run with an error.
    setenv("ASAN_OPTIONS", "detect_leaks=1:halt_on_error=1", 0);
    setenv("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1", 0);

    CaseGenerator generator(o.seed, WriteSoakMaps(o.work), AvailableMemory());
    const fs::path runDir = fs::path(o.work) / "run";
    std::map<int, int> exitCounts;
    int checkedModelled = 0, checkedChaos = 0;  // successful runs whose files were compared
    std::map<std::string, int> kindCounts;
    std::vector<Failure> failures;
    double slowest = 0;
    const auto start = std::chrono::steady_clock::now();

    for (int i = 0; i < o.runs; ++i) {
        const SoakCase c = generator.next();
        fs::remove_all(runDir);
        fs::create_directories(runDir);
        for (const std::string& d : c.directories) fs::create_directories(runDir / d);
        const std::set<std::string> before = FilesUnder(runDir);

        std::vector<std::string> command{o.tool};
        command.insert(command.end(), c.args.begin(), c.args.end());
        // The child works in its own directory; argv[0] is an absolute path.
        const std::string dir = runDir.string();
        const ProcessResult r = RunProcess(command, o.timeoutSeconds, [&dir] {
            if (chdir(dir.c_str()) != 0) _exit(126);
        });
        slowest = std::max(slowest, r.seconds);
        ++exitCounts[r.timedOut ? -2 : r.signal != 0 ? -1 : r.exitCode];
        for (std::size_t at = 0; at < c.kind.size();) {
            const std::size_t end = std::min(c.kind.find(' ', at), c.kind.size());
            ++kindCounts[c.kind.substr(at, end - at)];
            at = end + 1;
        }

        std::vector<std::string> problems = CheckRun(c, r, runDir, before, o.timeoutSeconds);
        if (problems.empty() && r.exitCode == 0) ++(c.settings ? checkedModelled : checkedChaos);
        if (!problems.empty()) {
            Failure f{i, ShellQuoted(c.args), c.kind, std::move(problems), {}};
            // The run's directory stays for a look, with what the tool printed.
            const fs::path kept = fs::path(o.work) / ("failed-" + std::to_string(i));
            fs::rename(runDir, kept);
            std::ofstream(kept / "stdout.txt") << r.out;
            std::ofstream(kept / "stderr.txt") << r.err;
            f.kept = kept.string();
            std::printf("run %d FAILED (%s):%s\n", i, f.kind.c_str(), f.command.c_str());
            for (const std::string& p : f.problems) std::printf("    %s\n", p.c_str());
            failures.push_back(std::move(f));
        }
        if ((i + 1) % 50 == 0) {
            const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%d/%d runs, %zu failed, %.0f s\n", i + 1, o.runs, failures.size(), elapsed);
            std::fflush(stdout);
        }
    }

    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("\nSoak: %d runs of %s, seed %llu, %.0f s (slowest run %.1f s)\n", o.runs, o.tool.c_str(),
                static_cast<unsigned long long>(o.seed), elapsed, slowest);
    std::printf("  exit codes:");
    for (const auto& [code, count] : exitCounts) {
        if (code == -2)
            std::printf("  timed out %d", count);
        else if (code == -1)
            std::printf("  signalled %d", count);
        else
            std::printf("  %d: %d", code, count);
    }
    std::printf("\n  command lines (and what was put in them):");
    for (const auto& [kind, count] : kindCounts) std::printf("  %s %d", kind.c_str(), count);
    std::printf("\n  successful runs checked against the reference: %d modelled, %d chaos", checkedModelled,
                checkedChaos);
    std::printf("\n  failed runs: %zu\n", failures.size());
    for (const Failure& f : failures) std::printf("    run %d, kept in %s\n", f.run, f.kept.c_str());

    if (failures.empty() && !o.keep) fs::remove_all(o.work);
    return failures.empty() ? 0 : 1;
}
