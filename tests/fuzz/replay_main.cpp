// Runs a fuzz target over files instead of under libFuzzer, for compilers without
// it: every file of every directory given (and every file given), in name order.
// Fails when it found nothing to run, so a lost corpus cannot pass unnoticed.
// A few kilobytes of input must never cost gigabytes: the process may not grow
// past 1 GB resident, and under the sanitizers no single allocation may exceed
// the bound the fuzzers run with.
#include <sys/resource.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#if defined(UMBRASCOPE_SANITIZED)
// GCC ships no header for the sanitizers' allocator interface.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*, std::size_t),
                                                         void (*free_hook)(const volatile void*));
extern "C" void __sanitizer_print_stack_trace();
#endif

namespace {

constexpr long kMaxResidentKb = 1024 * 1024;

long PeakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

#if defined(UMBRASCOPE_SANITIZED)
// The same bound as scripts/run-fuzz gives libFuzzer (-malloc_limit_mb).
constexpr std::size_t kMaxAllocationBytes = std::size_t{1024} << 20;

void OnMalloc(const volatile void* /*pointer*/, std::size_t size) {
    if (size <= kMaxAllocationBytes) return;
    std::fprintf(stderr, "allocation of %zu bytes, above the bound of %zu\n", size, kMaxAllocationBytes);
    __sanitizer_print_stack_trace();
    std::abort();
}

void OnFree(const volatile void* /*pointer*/) {}
#endif

namespace fs = std::filesystem;

bool ReadWhole(const fs::path& path, std::vector<std::uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
#if defined(UMBRASCOPE_SANITIZED)
    __sanitizer_install_malloc_and_free_hooks(&OnMalloc, &OnFree);
#endif
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        std::error_code error;
        if (fs::is_directory(path, error)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        } else if (fs::is_regular_file(path, error)) {
            files.push_back(path);
        }
        if (error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
            return 1;
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    for (const fs::path& file : files) {
        if (!ReadWhole(file, &bytes)) {
            std::fprintf(stderr, "%s: cannot read\n", file.c_str());
            return 1;
        }
        // A crash names the input on the line before the sanitizer's report.
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        if (const long peak = PeakResidentKb(); peak > kMaxResidentKb) {
            std::fprintf(stderr, "%s: the process grew to %ld MB, above the bound of %ld MB\n", file.c_str(),
                         peak / 1024, kMaxResidentKb / 1024);
            return 1;
        }
    }
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
