#include "outputs/atomic_write.h"

#include <algorithm>
#include <cstdint>

#include "os/atomic_file.h"

namespace outputs {

// The file written in pieces, so that a slow disk shows progress.
status::Status WriteFile(const std::string& path, const void* data, std::size_t size, ProgressLine* line) {
    constexpr std::size_t kPiece = std::size_t{16} << 20;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    os::AtomicFile file;
    if (status::Status s = file.open(path); !s.ok()) return s;
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min(kPiece, size - done);
        if (status::Status s = file.write(bytes + done, n); !s.ok()) return s;
        done += n;
        if (line != nullptr) line->show("writing", static_cast<double>(done) / static_cast<double>(size));
    }
    return file.commit();
}

}  // namespace outputs
