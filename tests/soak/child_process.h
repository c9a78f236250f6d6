#pragma once
// One run of the tool as a child: its own working directory, standard input from
// /dev/null, no controlling terminal, and a time bound after which its whole
// process group is killed.
#include <string>
#include <vector>

struct ChildResult {
    int exitCode = -1;  // -1 when it did not exit normally
    int signal = 0;     // the signal that ended it
    bool timedOut = false;
    double seconds = 0;
    std::string out;
    std::string err;
};

// argv[0] is the program's path (absolute: the child changes directory first).
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& workingDirectory, int timeoutSeconds);
