#pragma once
// The built tool, run as a user would run it, and the texts it prints.
#include <string>
#include <vector>

#include "../../support/run_process.h"
#include "../../support/temp_dir.h"
#include "../../support/tool_usage.h"

inline ProcessResult RunTool(std::vector<std::string> args, int timeoutSeconds = 120,
                             const std::function<void()>& beforeExec = {},
                             const std::function<void(pid_t, const std::string&)>& whileOutput = {}) {
    args.insert(args.begin(), UMBRASCOPE_EXE);
    return RunProcess(args, timeoutSeconds, beforeExec, whileOutput);
}

inline const std::string kBanner = "\nUmbrascope v 1.1.\nHorizon maps for terrain self-shadowing, 2026.\n\n";

inline std::string FailureReport(const std::string& description) {
    return "Reason: " + description + ".\nApplication work finished with error. Press any key for exit...";
}

// A grey 8-bit PGM and a grey PFM (little-endian, rows stored bottom-up).
inline void WritePgm(const std::string& path, int width, int height, const std::vector<unsigned char>& values) {
    std::string bytes = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    bytes.append(values.begin(), values.end());
    WriteAll(path, bytes);
}

inline void WritePfm(const std::string& path, int width, int height, const std::vector<float>& values) {
    std::string bytes = "Pf\n" + std::to_string(width) + " " + std::to_string(height) + "\n-1.0\n";
    for (int r = height - 1; r >= 0; --r)
        bytes.append(reinterpret_cast<const char*>(&values[static_cast<std::size_t>(r) * width]),
                     static_cast<std::size_t>(width) * sizeof(float));
    WriteAll(path, bytes);
}
