#include "progress_line.h"

#include <unistd.h>

#include <cmath>

namespace exporter {

namespace {

std::string Percent(double fraction) { return std::to_string(static_cast<int>(std::floor(fraction * 100))) + "%"; }

}  // namespace

ProgressLine::ProgressLine(std::FILE* err, std::string name)
    : err_(err),
      name_(std::move(name)),
      enabled_(isatty(fileno(err)) == 1),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

ProgressLine::~ProgressLine() {
    if (shown_) std::fprintf(err_, "\rumbrascope-export: %s: done\033[K\n", name_.c_str());
}

void ProgressLine::making(double fraction) { show("making " + Percent(fraction)); }

void ProgressLine::writing(double fraction) { show("writing " + Percent(fraction)); }

void ProgressLine::show(const std::string& what) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::seconds(1)) return;
    if (shown_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    shown_ = true;
    std::fprintf(err_, "\rumbrascope-export: %s: %s\033[K", name_.c_str(), what.c_str());
    std::fflush(err_);
}

}  // namespace exporter
