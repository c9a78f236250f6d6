#include "bench_floors.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

namespace bench {

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int EnvNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atoi(text) : fallback;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TouchInNewProcess(std::size_t bytes) {
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) _exit(1);
        madvise(p, bytes, MADV_HUGEPAGE);
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        std::vector<std::thread> threads;
        for (unsigned t = 0; t < cores; ++t)
            threads.emplace_back([=] {
                const std::size_t begin = bytes / cores * t, end = t + 1 == cores ? bytes : bytes / cores * (t + 1);
                std::memset(static_cast<char*>(p) + begin, 1, end - begin);
            });
        for (auto& thread : threads) thread.join();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Seconds(start) : -1;
}

double DiskFloor(const std::string& dir, const std::vector<std::size_t>& bytes) {
    const std::size_t largest = *std::max_element(bytes.begin(), bytes.end()) / 4096 * 4096;
    void* data = mmap(nullptr, largest, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return -1;
    std::memset(data, 7, largest);
    sync();
    const auto start = Clock::now();
    bool ok = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::string name = dir + "/floor" + std::to_string(i);
        const std::size_t size = bytes[i] / 4096 * 4096;
        const int fd = open(name.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_DIRECT | O_CLOEXEC, 0644);
        ok = ok && fd >= 0;
        for (std::size_t done = 0; ok && done < size;) {
            const ssize_t n = pwrite(fd, static_cast<char*>(data) + done, std::min(size - done, std::size_t{64} << 20),
                                     static_cast<off_t>(done));
            ok = n > 0;
            done += ok ? static_cast<std::size_t>(n) : 0;
        }
        ok = ok && fdatasync(fd) == 0;
        if (fd >= 0) close(fd);
        std::filesystem::remove(name);
    }
    const double seconds = Seconds(start);
    munmap(data, largest);
    return ok ? seconds : -1;
}

double ReadFloor(const std::string& path, std::uint64_t offset, std::uint64_t bytes) {
    const auto start = Clock::now();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::vector<char> buffer(4 << 20);
    std::uint64_t done = 0;
    while (done < bytes) {
        const ssize_t n = pread(fd, buffer.data(), std::min<std::uint64_t>(buffer.size(), bytes - done),
                                static_cast<off_t>(offset + done));
        if (n <= 0) break;
        done += static_cast<std::uint64_t>(n);
    }
    close(fd);
    return done == bytes ? Seconds(start) : -1;
}

namespace {

[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// `row` lives outside: a longjmp skips no destructor.
bool DecodeRows(png_structp png, png_infop info, std::FILE* file, std::vector<png_byte>* row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_swap(png);
    png_read_update_info(png, info);
    row->resize(png_get_rowbytes(png, info));
    const png_uint_32 height = png_get_image_height(png, info);
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row->data(), nullptr);
    return true;
}

}  // namespace

double DecodePngFloor(const std::string& path) {
    const auto start = Clock::now();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return -1;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnPngError, &OnPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row;
    const bool decoded = info != nullptr && DecodeRows(png, info, file.get(), &row);
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded ? Seconds(start) : -1;
}

bool StepTimes(const std::string& err, double* read, double* horizons, double* rest) {
    const std::size_t at = err.rfind("(read ");
    return at != std::string::npos &&
           std::sscanf(err.c_str() + at, "(read %lf s, horizons %lf s, the rest %lf s)", read, horizons, rest) == 3;
}

}  // namespace bench
