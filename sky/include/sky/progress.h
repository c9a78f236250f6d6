#pragma once
// Progress on a terminal: a step's title and its percentage, shown only once the
// run has taken a second and only when the stream is a terminal.
#include <chrono>
#include <cstdio>
#include <string>

namespace sky {

class Progress {
public:
    // `err` open for writing; whether it is a terminal is looked at once, here.
    explicit Progress(std::FILE* err);
    // The step now running, at 0 %.
    void step(const std::string& title);
    // The share of the step done, in [0, 1]. From one thread at a time.
    void update(double share);
    // Ends the progress line, if one was shown.
    void done();
    // Seconds since construction.
    double seconds() const;

private:
    std::FILE* err_;
    bool terminal_;
    bool shown_ = false;
    int lastPercent_ = -1;
    std::string title_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace sky
