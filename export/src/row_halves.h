#pragma once
// Work over rows on both cores.
#include <cstdint>

#include "os/side_by_side_work.h"

namespace exporter {

// Calls work(first, end) for the top half of `rows` on this thread and the bottom
// half on another; std::bad_alloc as RunSideBySide passes it on.
template <typename Work>
void ForRowHalves(std::uint32_t rows, const Work& work) {
    const std::uint32_t half = rows / 2;
    os::RunSideBySide([&] { work(std::uint32_t{0}, half); }, [&] { work(half, rows); });
}

}  // namespace exporter
