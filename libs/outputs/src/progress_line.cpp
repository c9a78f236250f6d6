#include "outputs/progress_line.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace outputs {

ProgressLine::ProgressLine(std::FILE* err, std::string prefix)
    : err_(err),
      prefix_(std::move(prefix)),
      enabled_(isatty(fileno(err)) == 1),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

ProgressLine::~ProgressLine() {
    if (shown_) std::fprintf(err_, "\r%s: done\033[K\n", prefix_.c_str());
}

void ProgressLine::show(const std::string& action, double fraction) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::seconds(1)) return;
    if (shown_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    shown_ = true;
    const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
    std::fprintf(err_, "\r%s: %s%s%d%%\033[K", prefix_.c_str(), action.c_str(), action.empty() ? "" : " ", percent);
    std::fflush(err_);
}

}  // namespace outputs
