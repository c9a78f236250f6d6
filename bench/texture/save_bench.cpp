// Saving the horizon map and its companion as the tool does (the DDS file, then a
// copy of it), against `cp` copying the same number of bytes on the same disk. Prints a table; medians of a few runs.
//
//   save_bench [size] [directory] [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/d3d9.h"
#include "platform/wide_text.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const UINT size = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 4096;
    const std::string dir = argc > 2 ? argv[2] : "/var/tmp";
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    const std::string first = dir + "/save_bench.dds", second = dir + "/save_bench.winter.dds",
                      copy = dir + "/save_bench.copy.dds";

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    IDirect3DDevice9* device = nullptr;
    D3DPRESENT_PARAMETERS pp{};
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &device);
    IDirect3DTexture9* texture = nullptr;
    if (D3DXCreateTexture(device, size, size, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &texture) != S_OK) {
        std::fprintf(stderr, "cannot create a %u x %u texture\n", size, size);
        return 1;
    }
    D3DLOCKED_RECT lr{};
    texture->LockRect(0, &lr, nullptr, 0);
    auto* texels = static_cast<float*>(lr.pBits);
    for (std::size_t i = 0; i < std::size_t{size} * size; ++i) texels[i * 4] = texels[i * 4 + 1] = float(i % 977) / 977;
    texture->UnlockRect(0);

    std::vector<double> save, cp, cpSync;
    // Each timing starts with nothing dirty in the page cache, so that no step pays
    // for the writeback of the step before it.
    for (int run = 0; run < runs; ++run) {
        sync();
        auto start = std::chrono::steady_clock::now();
        if (D3DXSaveTextureToFileW(WidenBytes(first).c_str(), D3DXIFF_DDS, texture, nullptr) != S_OK ||
            CopyFileAtomically(first, second) != S_OK) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
        save.push_back(Seconds(start));
        sync();
        start = std::chrono::steady_clock::now();
        const std::string command = "cp '" + first + "' '" + copy + "' && cp '" + first + "' '" + copy + "2'";
        if (std::system(command.c_str()) != 0) return 1;
        cp.push_back(Seconds(start));
        // The tool's files are flushed to disk before they take their names; cp's are
        // not: the same copy followed by a flush of both copies.
        std::filesystem::remove(copy), std::filesystem::remove(copy + "2");
        sync();
        start = std::chrono::steady_clock::now();
        if (std::system((command + " && sync '" + copy + "' '" + copy + "2'").c_str()) != 0) return 1;
        cpSync.push_back(Seconds(start));
    }
    const double megabytes = static_cast<double>(std::filesystem::file_size(first)) / 1e6;
    std::printf("| size | file MB | save both (s) | cp both (s) | ratio | cp + sync (s) | ratio |\n"
                "|---|---|---|---|---|---|---|\n");
    std::printf("| %u | %.0f | %.3f | %.3f | %.2f | %.3f | %.2f |\n", size, megabytes, Median(save), Median(cp),
                Median(save) / Median(cp), Median(cpSync), Median(save) / Median(cpSync));
    for (const auto& f : {first, second, copy, copy + "2"}) std::filesystem::remove(f);
    texture->Release();
    device->Release();
    d3d->Release();
    return 0;
}
