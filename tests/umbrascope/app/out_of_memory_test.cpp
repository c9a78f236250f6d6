// Exhausted memory anywhere in a run: the run ends with the failing stage's exit
// code and "Ran out of memory", or, where a thread is done without, as usual;
// never with a crash.
#include <gtest/gtest.h>

#include <string>

#include "../../support/failing_allocation.h"
#include "../../support/temp_dir.h"
#include "app/run_sequence.h"
#include "app/tool_steps.h"
#include "maps/horizon.h"
#include "settings/tool_settings.h"

using app::ProcessingSteps;

namespace {

const std::string kOutOfMemory =
    "Reason: Ran out of memory.\nApplication work finished with error. Press any key for exit...";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class OutOfMemory : public testing::Test {
protected:
    void SetUp() override {
        std::string pgm = "P5\n16 16\n255\n";
        for (int i = 0; i < 256; ++i) pgm.push_back(static_cast<char>((i * 37) % 251));
        WriteAll(dir_.file("h.pgm"), pgm);
        WriteAll(dir_.file("t.pgm"), pgm);
    }
    void TearDown() override { ToolSettings.resetToDefaults(); }

    // One run of the tool's own steps, `steps` changed as the test says; with
    // `failing`, that allocation of the run fails, and `asked` receives how many
    // the run made.
    int run(const ProcessingSteps& steps, std::string* output, std::size_t failing = SIZE_MAX,
            std::size_t* asked = nullptr) {
        ToolSettings.resetToDefaults();
        const std::string h = dir_.file("h.pgm"), t = dir_.file("t.pgm"), o = dir_.file("out.dds");
        const char* argv[] = {"umbrascope", "-H", h.c_str(), "-T", t.c_str(), "-r", "16", "-o", o.c_str()};
        testing::internal::CaptureStdout();
        if (failing != SIZE_MAX) failing_allocation::FailFrom(failing, false);
        const int code = app::RunTool(9, argv, steps);
        const std::size_t allocations = failing_allocation::Disarm();
        if (asked != nullptr) *asked = allocations;
        *output = testing::internal::GetCapturedStdout();
        return code;
    }

    TempDir dir_;
};

HRESULT HorizonWithoutMemory() {
    const failing_allocation::Armed noMemory(0, true);
    return GenerateHorizonMaps();
}

TEST_F(OutOfMemory, InTheHorizonStepEndsWithItsExitCode) {
    ProcessingSteps steps = app::ToolProcessingSteps();
    steps.generateHorizonMaps = HorizonWithoutMemory;
    std::string output;
    EXPECT_EQ(run(steps, &output), 4);
    EXPECT_TRUE(EndsWith(output,
                         "Loading textures..........OK\nMixing height map & tree map.........OK\n"
                         "Generating Horizon maps optimized.ERROR:Can`t generate HorizoneMap.\n" +
                             kOutOfMemory))
        << output;
    EXPECT_FALSE(std::filesystem::exists(dir_.file("out.dds")));
}

// Each allocation of a whole run failing alone, in turn.
TEST_F(OutOfMemory, AnywhereInTheRun) {
    std::string output;
    ASSERT_EQ(run(app::ToolProcessingSteps(), &output), 0) << output;
    const auto expected = ReadAll(dir_.file("out.dds"));
    std::filesystem::remove(dir_.file("out.dds"));
    std::filesystem::remove(dir_.file("out.winter.dds"));

    int failures[8] = {};
    for (std::size_t k = 0;; ++k) {
        std::size_t asked = 0;
        const int code = run(app::ToolProcessingSteps(), &output, k, &asked);
        SCOPED_TRACE("allocation " + std::to_string(k) + " of " + std::to_string(asked));
        ASSERT_GE(code, 0);
        ASSERT_LE(code, 7);
        ++failures[code];
        if (code == 0) {
            EXPECT_TRUE(EndsWith(output, "Application work successfully finished. Good day!")) << output;
            EXPECT_TRUE(ReadAll(dir_.file("out.dds")) == expected);
            EXPECT_TRUE(ReadAll(dir_.file("out.winter.dds")) == expected);
        } else if (code == 1 || code == 6) {
            // The device step and the save report failures as their own result,
            // whatever the cause.
            EXPECT_NE(output.find("ERROR:Can`t " + std::string(code == 1 ? "create D3DX device" : "save file") +
                                  ".\nReason: "),
                      std::string::npos)
                << output;
        } else {
            EXPECT_TRUE(EndsWith(output, kOutOfMemory)) << output;
        }
        std::filesystem::remove(dir_.file("out.dds"));
        std::filesystem::remove(dir_.file("out.winter.dds"));
        if (asked <= k) break;
    }
    // Memory ran out in the intake, in the loading and in the horizon step at least.
    EXPECT_GT(failures[7], 0);
    EXPECT_GT(failures[2], 0);
    EXPECT_GT(failures[4], 0);
    std::printf("runs ending with 0..7:");
    for (const int n : failures) std::printf(" %d", n);
    std::printf("\n");
}

}  // namespace
