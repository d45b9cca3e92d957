#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitStatus = -1;   // exit code, or -1 when the process did not exit normally
    std::string out;       // everything written to standard output
    std::string err;       // everything written to standard error
};

// Runs a program to its end with the given arguments in the given working
// directory, with the variables in `unset` removed from its environment and
// `set` ("NAME=value") added. It is killed after timeoutSeconds.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory = ".", const std::vector<std::string>& unset = {},
                         const std::vector<std::string>& set = {}, int timeoutSeconds = 30);

// A fresh, empty directory under the system's temporary directory.
std::string makeTemporaryDirectory();

std::string readWholeFile(const std::string& path);

}  // namespace testsupport
