#pragma once

// Shared by the fuzz targets: every input is written into a scratch working
// directory (in memory where the system offers one) and read back by the
// engine's own file code, exactly as a file in data/ would be.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzsupport {

// Makes the scratch directory the working directory (once) with an empty
// data/ in it.
void enterScratchDirectory();

// Writes the bytes to `path` (relative to the scratch directory), replacing it.
void writeInput(const std::string& path, const std::uint8_t* data, std::size_t size);

// Removes every file of data/ (the directory itself stays).
void clearDataDirectory();

// A failed check of a harness: ends the run the way libFuzzer reports a crash.
[[noreturn]] void fail(const char* what);

}  // namespace fuzzsupport
