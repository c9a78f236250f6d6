#pragma once
// One line on standard error that follows an output being made, for outputs that
// take more than a second, on a terminal only: a script's log gets nothing.
#include <chrono>
#include <cstdio>
#include <string>

namespace exporter {

class ProgressLine {
public:
    // Shows nothing unless `err` is a terminal.
    ProgressLine(std::FILE* err, std::string name);
    // Ends the line when one was shown.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // "NAME: making 42%" once a second has passed, then at most ten times a second.
    void making(double fraction);
    // "NAME: writing 42%", from when the file is complete in memory until it is on disk.
    void writing(double fraction);

private:
    void show(const std::string& what);

    std::FILE* err_;
    std::string name_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace exporter
