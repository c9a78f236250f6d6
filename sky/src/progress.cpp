#include "sky/progress.h"

#include <unistd.h>

namespace sky {

Progress::Progress(std::FILE* err)
    : err_(err), terminal_(isatty(fileno(err)) == 1), start_(std::chrono::steady_clock::now()) {}

void Progress::step(const std::string& title) {
    title_ = title;
    lastPercent_ = -1;
    update(0);
}

void Progress::update(double share) {
    if (!terminal_ || seconds() < 1.0) return;
    const int percent = static_cast<int>(share * 100);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    shown_ = true;
    std::fprintf(err_, "\r%s: %3d%%\033[K", title_.c_str(), percent);
    std::fflush(err_);
}

void Progress::done() {
    if (shown_) std::fprintf(err_, "\r\033[K");
    shown_ = false;
}

double Progress::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace sky
