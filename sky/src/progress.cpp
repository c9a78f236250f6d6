#include "sky/progress.h"

#include "sky/sky_outputs.h"

namespace sky {

Progress::Progress(std::FILE* err) : err_(err), start_(std::chrono::steady_clock::now()) {}

void Progress::step(const std::string& title) {
    line_ = std::make_unique<outputs::ProgressLine>(err_, std::string(kSkyProgram) + ": " + title);
}

void Progress::update(double share) {
    if (line_) line_->show("", share);
}

void Progress::done() { line_.reset(); }

double Progress::seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

}  // namespace sky
