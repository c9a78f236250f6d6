#pragma once
// One line on standard error that follows a long step, for steps that take more
// than a second, on a terminal only: a script's log gets nothing.
#include <chrono>
#include <cstdio>
#include <string>

namespace outputs {

class ProgressLine {
public:
    // `prefix` starts the line, e.g. "umbrascope-export: a.tif". Shows nothing
    // unless `err` is a terminal.
    ProgressLine(std::FILE* err, std::string prefix);
    // Ends the line with "PREFIX: done" when one was shown.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // "PREFIX: ACTION 42%" ("PREFIX: 42%" for an empty `action`) once a second has
    // passed, then at most ten times a second. From one thread at a time.
    void show(const std::string& action, double fraction);

private:
    std::FILE* err_;
    std::string prefix_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace outputs
