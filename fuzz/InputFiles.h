#pragma once

// Shared by the programs that write fuzz inputs (make_fuzz_seeds,
// make_large_fuzz_inputs): a root directory of one folder per target, and
// the small file chores around the engine's own writers, which work in a
// scratch directory of their own.

#include <string>

namespace fuzzinputs {

// Makes the directory named on the command line (argv[1]) and returns its
// absolute path; ends the program with a usage line (status 2) or the
// system's reason (status 1) when it cannot.
std::string rootFromCommandLine(int argc, char** argv, const char* program);

// Makes `directory` (if need be) and moves into it; ends the program when it cannot.
void enter(const std::string& directory);

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);  // "" when it cannot be read

// Writes <root>/<target>/<name>.
void writeInput(const std::string& root, const std::string& target, const std::string& name, const std::string& bytes);

// Leaves the scratch directory <root>/.work and removes it; the exit status.
int removeScratch(const std::string& root);

}  // namespace fuzzinputs
