#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/temp_dir.h"
#include "app/run_sequence.h"
#include "maps/texture_set.h"
#include "settings/tool_settings.h"

using app::ProcessingSteps;

namespace {

// What the fake steps and objects did, in order.
std::vector<std::string> journal;
HRESULT stepResults[6];

// A graphics object that only records its release.
class FakeObject final : public IDirect3DTexture9 {
public:
    explicit FakeObject(std::string name) : name_(std::move(name)) {}
    ULONG AddRef() override { return 2; }
    ULONG Release() override {
        journal.push_back("release " + name_);
        return 0;
    }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT UnlockRect(UINT) override { return D3DERR_INVALIDCALL; }

private:
    std::string name_;
};

struct FakeDirect3D final : IDirect3D9 {
    ULONG AddRef() override { return 2; }
    ULONG Release() override {
        journal.push_back("release Direct3D");
        return 0;
    }
    HRESULT CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) override {
        return E_FAIL;
    }
};

struct FakeDevice final : IDirect3DDevice9 {
    ULONG AddRef() override { return 2; }
    ULONG Release() override {
        journal.push_back("release Device");
        return 0;
    }
};

FakeDirect3D direct3d;
FakeDevice device;
FakeObject heightMap("HeightMap"), treeMap("TreeMap"), outTexture("OutTexture");

HRESULT FakeInitDevice(HWND window) {
    journal.push_back(window != nullptr ? "InitDevice" : "InitDevice without window");
    TextureSet.Direct3D = &direct3d;
    if (stepResults[0] == S_OK) TextureSet.Device = &device;
    return stepResults[0];
}

template <int Step>
HRESULT FakeStep() {
    static const char* const names[] = {"",
                                        "LoadTextures",
                                        "MixHeightMapAndTreeMap",
                                        "GenerateHorizonMaps",
                                        "MixHorizonMapAndTreeMap",
                                        "WriteHorizonMapFile"};
    journal.push_back(names[Step]);
    if (Step == 1) {
        TextureSet.HeightMap = &heightMap;
        TextureSet.TreeMap = &treeMap;
        if (stepResults[1] == S_OK) TextureSet.OutTexture = &outTexture;
    }
    return stepResults[Step];
}

const ProcessingSteps kFakeSteps = {FakeInitDevice, FakeStep<1>, FakeStep<2>, FakeStep<3>, FakeStep<4>, FakeStep<5>};

const std::string kBanner = "\nUmbrascope v 1.1.\nHorizon maps for terrain self-shadowing, 2026.\n\n";
const std::string kFailureTail = ".\nApplication work finished with error. Press any key for exit...";

class RunSequence : public testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        for (HRESULT& r : stepResults) r = S_OK;
        ToolSettings.resetToDefaults();
        WriteAll(dir_.file("h.png"), "x");
        WriteAll(dir_.file("t.png"), "x");
    }
    void TearDown() override { ToolSettings.resetToDefaults(); }

    int run(std::string* output) {
        const std::string h = dir_.file("h.png"), t = dir_.file("t.png");
        const char* argv[] = {"umbrascope", "-H", h.c_str(), "-T", t.c_str()};
        testing::internal::CaptureStdout();
        const int code = app::RunTool(5, argv, kFakeSteps);
        *output = testing::internal::GetCapturedStdout();
        return code;
    }

    TempDir dir_;
};

TEST_F(RunSequence, SuccessRunsEveryStepInOrderAndReleasesInReverse) {
    std::string output;
    EXPECT_EQ(run(&output), 0);
    EXPECT_EQ(output, kBanner + "Application work successfully finished. Good day!");
    EXPECT_EQ(journal,
              (std::vector<std::string>{"InitDevice", "LoadTextures", "MixHeightMapAndTreeMap", "GenerateHorizonMaps",
                                        "MixHorizonMapAndTreeMap", "WriteHorizonMapFile", "release OutTexture",
                                        "release TreeMap", "release HeightMap", "release Device", "release Direct3D"}));
    EXPECT_EQ(TextureSet.Direct3D, nullptr);
}

TEST_F(RunSequence, TheFirstFailingStepEndsTheRunWithItsCode) {
    const char* lines[] = {"ERROR:Can`t create D3DX device.\n",
                           "ERROR:Can`t init textures.\n",
                           "ERROR:Can`t split HeightMap with a TreeMap.\n",
                           "ERROR:Can`t generate HorizoneMap.\n",
                           "ERROR:Can`t split HorizonMap with a TreeMap.\n",
                           "ERROR:Can`t save file.\n"};
    for (int failing = 0; failing < 6; ++failing) {
        SetUp();
        stepResults[failing] = E_FAIL;
        std::string output;
        EXPECT_EQ(run(&output), failing + 1);
        EXPECT_EQ(output, kBanner + lines[failing] + "Reason: An undetermined error occurred" + kFailureTail);
        // Steps up to the failing one ran, then only releases.
        ASSERT_GE(journal.size(), static_cast<std::size_t>(failing + 1));
        for (std::size_t i = failing + 1; i < journal.size(); ++i)
            EXPECT_EQ(journal[i].rfind("release ", 0), 0u) << journal[i];
    }
}

TEST_F(RunSequence, ReasonLineDescribesTheStepsOwnResult) {
    const struct {
        HRESULT result;
        std::string reason;
    } cases[] = {
        {E_FILE_NOT_FOUND, "The system cannot find the file specified.."},  // two full stops
        {D3DXERR_INVALIDDATA, "Invalid data."},
        {E_OUTOFMEMORY, "Ran out of memory."},
        {S_FALSE, "Call successful, but returned FALSE."},  // positive, still a failure
        {D3DERR_INVALIDCALL + 2, "n/a."},                   // between two rows of the table
    };
    for (const auto& c : cases) {
        SetUp();
        stepResults[1] = c.result;
        std::string output;
        EXPECT_EQ(run(&output), 2);
        EXPECT_EQ(output, kBanner + "ERROR:Can`t init textures.\nReason: " + c.reason +
                              "\nApplication work finished with error. Press any key for exit...");
    }
}

TEST_F(RunSequence, FailedDeviceReleasesOnlyWhatExists) {
    stepResults[0] = E_FAIL;
    std::string output;
    EXPECT_EQ(run(&output), 1);
    EXPECT_EQ(journal, (std::vector<std::string>{"InitDevice", "release Direct3D"}));
}

TEST_F(RunSequence, BadInputRunsNoStepAndExitsWithSeven) {
    const char* noArgs[] = {"umbrascope"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(app::RunTool(1, noArgs, kFakeSteps), 7);
    const std::string usage = testing::internal::GetCapturedStdout();
    EXPECT_NE(usage.find("Usage: umbrascope.exe -H <HMfname>"), std::string::npos);
    const std::string report = "Reason: An undetermined error occurred" + kFailureTail;
    ASSERT_GT(usage.size(), report.size());
    EXPECT_EQ(usage.substr(usage.size() - report.size()), report);

    ToolSettings.resetToDefaults();
    const char* missing[] = {"umbrascope", "-H", "/nonexistent/h.png", "-T", "/nonexistent/t.png"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(app::RunTool(5, missing, kFakeSteps), 7);
    EXPECT_EQ(
        testing::internal::GetCapturedStdout(),
        kBanner + "ERROR:File /nonexistent/h.png not found\nReason: An undetermined error occurred" + kFailureTail);
    EXPECT_TRUE(journal.empty());
}

}  // namespace
