// LoadTextures decodes both maps at once: what it prints, returns and leaves in the
// texture set must be what loading them one after the other gives.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

#include "../../libs/image/image_fixtures.h"
#include "maps/texture_set.h"
#include "platform/wide_text.h"
#include "settings/tool_settings.h"

namespace {

std::uint32_t Crc32(const Bytes& bytes, std::size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig(Bytes& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

// An interlaced PNG claiming 200000 x 200000 RGBA16 (320 GB decoded), in a sparse
// file long enough to pass the compression bound: refused with E_OUTOFMEMORY.
void WriteHugeInterlacedPng(const std::string& path) {
    Bytes bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutBig(bytes, 13);
    const std::size_t typeAt = bytes.size();
    for (const char c : {'I', 'H', 'D', 'R'}) bytes.push_back(static_cast<std::uint8_t>(c));
    PutBig(bytes, 200000);
    PutBig(bytes, 200000);
    for (const std::uint8_t b : {16, 6, 0, 0, 1}) bytes.push_back(b);
    PutBig(bytes, Crc32(bytes, typeAt));
    PutBig(bytes, 0x7FFFFFFF);
    for (const char c : {'I', 'D', 'A', 'T'}) bytes.push_back(static_cast<std::uint8_t>(c));
    WriteBytes(path, bytes);
    std::filesystem::resize_file(path, std::uintmax_t{400} << 20);
}

class LoadTexturesTest : public testing::Test {
protected:
    void SetUp() override {
        ToolSettings.resetToDefaults();
        TextureSet.Direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        ASSERT_EQ(TextureSet.Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &TextureSet.Device),
                  S_OK);

        // A height map that takes a while to decode, a tree map that is enlarged.
        PngImage heights;
        heights.width = heights.height = 1536;
        heights.colourType = PNG_COLOR_TYPE_GRAY;
        heights.bitDepth = 16;
        for (std::size_t i = 0; i < std::size_t{1536} * 1536; ++i)
            heights.samples.push_back(static_cast<std::uint16_t>((i * 40503u) >> 7));
        WritePng(dir_.path("heights.png"), heights);
        JpegImage trees;
        trees.width = trees.height = 700;
        trees.components = 3;
        for (std::size_t i = 0; i < std::size_t{700} * 700 * 3; ++i)
            trees.samples.push_back(static_cast<std::uint8_t>((i * 31u) % 253u));
        WriteJpeg(dir_.path("trees.jpg"), trees);
        WriteBytes(dir_.path("noise.png"), Bytes(3000, 0x5A));
        WriteHugeInterlacedPng(dir_.path("huge.png"));
    }
    void TearDown() override {
        maps::ReleaseTextureSet();
        ToolSettings.resetToDefaults();
    }

    HRESULT load(const std::string& heights, const std::string& trees, std::string* output) {
        ToolSettings.HMfname = platform::WidenBytes(dir_.path(heights));
        ToolSettings.TMfname = platform::WidenBytes(dir_.path(trees));
        ToolSettings.OutRez = 1024;
        testing::internal::CaptureStdout();
        const HRESULT hr = LoadTextures();
        *output = testing::internal::GetCapturedStdout();
        return hr;
    }

    // Textures alive beside the device's own reference: each holds one.
    static ULONG texturesAlive() {
        const ULONG refs = TextureSet.Device->AddRef();
        TextureSet.Device->Release();
        return refs - 2;
    }

    static std::vector<float> level0(IDirect3DTexture9* texture) {
        D3DLOCKED_RECT lock{};
        EXPECT_EQ(texture->LockRect(0, &lock, nullptr, D3DLOCK_READONLY), S_OK);
        const auto* texels = static_cast<const float*>(lock.pBits);
        std::vector<float> copy(texels, texels + std::size_t{1024} * 1024 * 4);
        EXPECT_EQ(texture->UnlockRect(0), S_OK);
        return copy;
    }

    TempDir dir_;
};

TEST_F(LoadTexturesTest, BothMapsAsEachLoadsAlone) {
    std::string output;
    ASSERT_EQ(load("heights.png", "trees.jpg", &output), S_OK);
    EXPECT_EQ(output, "Loading textures..........OK\n");
    ASSERT_NE(TextureSet.HeightMap, nullptr);
    ASSERT_NE(TextureSet.TreeMap, nullptr);
    ASSERT_NE(TextureSet.OutTexture, nullptr);
    EXPECT_EQ(texturesAlive(), 3u);

    const Loaded heights = Load(dir_.path("heights.png"), 1024, 1024);
    const Loaded trees = Load(dir_.path("trees.jpg"), 1024, 1024);
    ASSERT_EQ(heights.result, status::Code::Ok);
    ASSERT_EQ(trees.result, status::Code::Ok);
    EXPECT_TRUE(SameBits(level0(TextureSet.HeightMap), heights.texels));
    EXPECT_TRUE(SameBits(level0(TextureSet.TreeMap), trees.texels));
}

TEST_F(LoadTexturesTest, FailuresPrintAndReturnWhatLoadingInTurnWould) {
    const std::string title = "Loading textures";
    const std::string heightFailed = "ERROR:Can`t load height map.\n", treeFailed = "ERROR:Can`t load tree map.\n";
    const struct {
        const char *heights, *trees;
        HRESULT result;
        std::string output;
        bool heightMapLoaded;
    } cases[] = {
        // The height map fails at once while the tree map is still being decoded.
        {"noise.png", "trees.jpg", D3DXERR_INVALIDDATA, title + heightFailed, false},
        {"huge.png", "trees.jpg", E_OUTOFMEMORY, title + heightFailed, false},
        // The tree map fails at once, the height map takes its time: its dots first.
        {"heights.png", "noise.png", D3DXERR_INVALIDDATA, title + "...." + treeFailed, true},
        {"heights.png", "huge.png", E_OUTOFMEMORY, title + "...." + treeFailed, true},
        // Both fail: the height map's own result, whichever failed first.
        {"noise.png", "huge.png", D3DXERR_INVALIDDATA, title + heightFailed, false},
        {"huge.png", "noise.png", E_OUTOFMEMORY, title + heightFailed, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.heights) + " + " + c.trees);
        std::string output;
        EXPECT_EQ(load(c.heights, c.trees, &output), c.result);
        EXPECT_EQ(output, c.output);
        EXPECT_EQ(TextureSet.HeightMap != nullptr, c.heightMapLoaded);
        EXPECT_EQ(TextureSet.TreeMap, nullptr);  // a tree map loaded meanwhile is gone again
        EXPECT_EQ(TextureSet.OutTexture, nullptr);
        EXPECT_EQ(texturesAlive(), c.heightMapLoaded ? 1u : 0u);
        if (TextureSet.HeightMap != nullptr) TextureSet.HeightMap->Release();
        TextureSet.HeightMap = nullptr;
    }
}

}  // namespace
