#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "../../support/temp_dir.h"
#include "app/intake.h"
#include "platform/wide_text.h"
#include "settings/tool_settings.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class Validation : public testing::Test {
protected:
    void SetUp() override {
        ToolSettings.resetToDefaults();
        WriteAll(dir_.file("h.png"), "x");
        WriteAll(dir_.file("t.png"), "x");
        ToolSettings.HMfname = platform::WidenBytes(dir_.file("h.png"));
        ToolSettings.TMfname = platform::WidenBytes(dir_.file("t.png"));
    }
    void TearDown() override { ToolSettings.resetToDefaults(); }

    // Runs validation, returning what it printed; `passed` receives its verdict.
    static std::string validate(bool* passed) {
        testing::internal::CaptureStdout();
        *passed = app::ValidateSettings();
        return testing::internal::GetCapturedStdout();
    }

    TempDir dir_;
};

TEST_F(Validation, ResolutionWarningsAndErrors) {
    const std::string odd = "WARNING: Out File Resolution is not deviding by 2";
    const std::string square = "WARNING: Out File Resolution is not ^2\n";
    const std::string bad = "ERROR:bad Out File Resolution: must be > 0\n";
    const struct {
        std::int32_t outRez;
        std::string output;
        bool passes;
    } cases[] = {
        {1024, "", true},
        {4096, "", true},
        {900, "", true},
        {1, odd, true},  // 1 is a square
        {1023, odd + square, true},
        {2048, square, true},
        {512, square, true},
        {16777218, "", true},  // its root rounds to exactly 4096 as a float
        {2147483647, odd + square, true},
        {0, bad, false},
        {-4, bad, false},
        {-2147483647 - 1, bad, false},
    };
    for (const auto& c : cases) {
        ToolSettings.OutRez = c.outRez;
        bool passed = false;
        EXPECT_EQ(validate(&passed), c.output) << c.outRez;
        EXPECT_EQ(passed, c.passes) << c.outRez;
    }
}

TEST_F(Validation, NumberChecksInOrder) {
    const std::string terra = "ERROR:bad Terrain Size: must be > 0\n";
    const std::string terraInf = "ERROR:bad Terrain Size: must be a finite number\n";
    const std::string height = "ERROR:bad Height koeficient: must be a finite number other than 0\n";
    const std::string zero = "ERROR:bad Height Zero Point: must be a finite number\n";
    const struct {
        float terraSize, height, heightZero;
        std::int32_t outRez;
        std::string output;
    } cases[] = {
        {0.0f, 100, 0, 0, terra},  // the resolution is not examined
        {-5.0f, 100, 0, 1024, terra},  {kNaN, 100, 0, 1024, terra},
        {-kInf, 100, 0, 1024, terra},  {kInf, 100, 0, 3, terraInf},
        {5000, 0.0f, 0, 1024, height}, {5000, -0.0f, 0, 1024, height},
        {5000, kInf, 0, 1024, height}, {5000, kNaN, 0, 2048, "WARNING: Out File Resolution is not ^2\n" + height},
        {5000, 100, kNaN, 1024, zero}, {5000, 100, -kInf, 1024, zero},
        {5000, 100, kInf, 1024, zero}, {5000, -3.5f, -1e30f, 1024, ""},  // negative scales and levels are fine
        {1e-30f, 1e-30f, 0, 1024, ""},
    };
    for (const auto& c : cases) {
        ToolSettings.TerraSize = c.terraSize;
        ToolSettings.Height = c.height;
        ToolSettings.HeightZero = c.heightZero;
        ToolSettings.OutRez = c.outRez;
        bool passed = true;
        EXPECT_EQ(validate(&passed), c.output) << c.terraSize << " " << c.height << " " << c.heightZero;
        EXPECT_EQ(passed, c.output.find("ERROR") == std::string::npos);
    }
}

TEST_F(Validation, FilesMustExist) {
    bool passed = false;
    ToolSettings.TMfname = L"";
    EXPECT_EQ(validate(&passed), "ERROR:File  not found\n");
    EXPECT_FALSE(passed);
    ToolSettings.HMfname = platform::WidenBytes(dir_.file("gone \xC3\xA9.png"));
    EXPECT_EQ(validate(&passed), "ERROR:File " + dir_.file("gone \xC3\xA9.png") + " not found\n");  // bytes as given
    ToolSettings.HMfname = platform::WidenBytes(dir_.path().string());  // a directory passes
    ToolSettings.TMfname = platform::WidenBytes(dir_.file("t.png"));
    EXPECT_EQ(validate(&passed), "");
    EXPECT_TRUE(passed);
}

TEST_F(Validation, OverlongNamesAreRefusedAfterTheNumbersBeforeTheFiles) {
    bool passed = true;
    const std::wstring longest(259, L'n'), tooLong(260, L'n');
    ToolSettings.Outfname = longest;
    EXPECT_EQ(validate(&passed), "");
    ToolSettings.Outfname = tooLong;
    EXPECT_EQ(validate(&passed), "ERROR:Outfname is longer than 259 characters\n");
    EXPECT_FALSE(passed);
    ToolSettings.HMfname = tooLong;  // also missing: the length is reported first
    ToolSettings.TMfname = tooLong;
    EXPECT_EQ(validate(&passed), "ERROR:HMfname is longer than 259 characters\n");
    ToolSettings.HMfname = platform::WidenBytes(dir_.file("h.png"));
    EXPECT_EQ(validate(&passed), "ERROR:TMfname is longer than 259 characters\n");
    ToolSettings.TerraSize = 0;  // numbers first
    EXPECT_EQ(validate(&passed), "ERROR:bad Terrain Size: must be > 0\n");
}

}  // namespace
