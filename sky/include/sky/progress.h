#pragma once
// The run's clock, and its steps' progress on a terminal (outputs::ProgressLine).
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "outputs/progress_line.h"

namespace sky {

class Progress {
public:
    // `err` open for writing; whether it is a terminal is looked at once, here.
    explicit Progress(std::FILE* err);
    // The step now running, at 0 %.
    void step(const std::string& title);
    // The share of the step done, in [0, 1]. From one thread at a time.
    void update(double share);
    // Ends the step's line, if one was shown.
    void done();
    // Seconds since construction.
    double seconds() const;

private:
    std::FILE* err_;
    std::unique_ptr<outputs::ProgressLine> line_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace sky
