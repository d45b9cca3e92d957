#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitStatus = -1;   // exit code, or -1 when the process did not exit normally
    int signalled = 0;     // the signal that ended it, 0 when it exited
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
};

struct ProcessOptions {
    std::string workingDirectory = ".";
    std::vector<std::string> unset;  // variables removed from the environment
    std::vector<std::string> set;    // "NAME=value" added to it
    int timeoutSeconds = 30;         // killed after this
    long fileSizeLimit = 0;          // bytes a file may grow to (0: no limit); beyond it writes fail
    // Sends `signal` to the process once `when` holds (asked every 20 ms
    // while it runs), for tests of how it stops.
    std::function<bool()> when;
    int signal = 0;
    // Called with the process's id every 20 ms while it runs, to look at it
    // from outside (its memory, its files).
    std::function<void(int process)> watch;
};

// Runs a program to its end with the given arguments.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options = {});

// A fresh, empty directory under the system's temporary directory.
std::string makeTemporaryDirectory();

std::string readWholeFile(const std::string& path);

}  // namespace testsupport
