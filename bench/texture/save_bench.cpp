// Saving the horizon map and its companion as the tool does, against the disk's own
// floor measured in the same run: the same bytes written straight from memory to
// two files (O_DIRECT, flushed), and the same bytes through the page cache
// (written, then flushed). Each run saves a texture created and filled afresh into
// a directory of its own. Prints a table of medians.
//
//   save_bench [size] [directory] [runs]
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/d3d9.h"
#include "platform/texture_files.h"
#include "platform/wide_text.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const Clock::time_point& start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Writes `bytes` from `data` to a new file and flushes it; false on any failure.
bool WriteFlushed(const std::string& path, const char* data, std::size_t bytes, bool direct) {
    const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | (direct ? O_DIRECT : 0), 0644);
    if (fd < 0) return false;
    constexpr std::size_t kChunk = std::size_t{64} << 20;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes;) {
        const ssize_t n = pwrite(fd, data + done, std::min(kChunk, bytes - done), static_cast<off_t>(done));
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ok && fdatasync(fd) == 0;
    return close(fd) == 0 && ok;
}

struct Graphics {
    Graphics() {
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp{};
        if (d3d == nullptr || d3d->CreateDevice(0, D3DDEVTYPE_HAL, GetDesktopWindow(), 0, &pp, &device) != S_OK) {
            std::fprintf(stderr, "cannot create the device\n");
            std::exit(1);
        }
    }
    ~Graphics() {
        device->Release();
        d3d->Release();
    }
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    const UINT size = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 4096;
    const std::string base = argc > 2 ? argv[2] : "/var/tmp";
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    Graphics g;

    std::vector<double> save, direct, cached;
    std::uintmax_t fileBytes = 0;
    for (int run = 0; run < runs; ++run) {
        IDirect3DTexture9* texture = nullptr;
        if (D3DXCreateTexture(g.device, size, size, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_SYSTEMMEM, &texture) != S_OK) {
            std::fprintf(stderr, "cannot create a %u x %u texture\n", size, size);
            return 1;
        }
        D3DLOCKED_RECT lr{};
        if (texture->LockRect(0, &lr, nullptr, 0) != S_OK) return 1;  // a new texture: cannot be held
        auto* texels = static_cast<float*>(lr.pBits);
        for (std::size_t i = 0; i < std::size_t{size} * size; ++i)
            texels[i * 4] = texels[i * 4 + 1] = float((i + run) % 977) / 977;
        (void)texture->UnlockRect(0);  // the lock above is this one's

        const std::string dir = base + "/save_bench." + std::to_string(getpid()) + "." + std::to_string(run);
        std::filesystem::create_directories(dir);
        // Each timing starts with nothing dirty in the page cache, so that no step
        // pays for the writeback of the step before it.
        sync();
        auto start = Clock::now();
        {
            graphics::PendingSaves files;
            if (files.save(platform::WidenBytes(dir + "/out.dds").c_str(), texture) != S_OK ||
                files.save(platform::WidenBytes(dir + "/out.winter.dds").c_str(), texture) != S_OK ||
                files.commit() != S_OK) {
                std::fprintf(stderr, "save failed\n");
                return 1;
            }
        }
        save.push_back(Seconds(start));
        fileBytes = std::filesystem::file_size(dir + "/out.dds");

        // The floors write memory of their own, as large, written once beforehand.
        void* floorMemory = mmap(nullptr, fileBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (floorMemory == MAP_FAILED) return 1;
        std::memset(floorMemory, 0x3C, fileBytes);
        const char* aligned = static_cast<const char*>(floorMemory);
        sync();
        start = Clock::now();
        if (!WriteFlushed(dir + "/direct1", aligned, fileBytes / 4096 * 4096, true) ||
            !WriteFlushed(dir + "/direct2", aligned, fileBytes / 4096 * 4096, true)) {
            std::fprintf(stderr, "direct write failed\n");
            return 1;
        }
        direct.push_back(Seconds(start));
        sync();
        start = Clock::now();
        if (!WriteFlushed(dir + "/cached1", aligned, fileBytes, false) ||
            !WriteFlushed(dir + "/cached2", aligned, fileBytes, false)) {
            std::fprintf(stderr, "cached write failed\n");
            return 1;
        }
        cached.push_back(Seconds(start));
        munmap(floorMemory, fileBytes);
        texture->Release();
        std::filesystem::remove_all(dir);
    }
    std::printf(
        "| size | file MB | save both (s) | direct writes, floor (s) | ratio | cached writes + flush (s) |\n"
        "|---|---|---|---|---|---|\n");
    std::printf("| %u | %.0f | %.3f | %.3f | %.2f | %.3f |\n", size, static_cast<double>(fileBytes) / 1e6, Median(save),
                Median(direct), Median(save) / Median(direct), Median(cached));
    return 0;
}
