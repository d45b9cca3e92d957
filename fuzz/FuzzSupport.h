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

// The memory a reader may take for an input of n bytes: at most
// bytesPerInputByte × n + fixedBytes more than was in use when the budget
// began, at the peak, counted over every operator new while the budget lives
// (the engine allocates through it; libpng's own mallocs are not counted).
// Exceeding it fails the run when the budget ends: allocation out of
// proportion to the input is a finding like a crash.
class AllocationBudget {
public:
    AllocationBudget(std::size_t inputBytes, std::size_t bytesPerInputByte, std::size_t fixedBytes);
    ~AllocationBudget();
    AllocationBudget(const AllocationBudget&) = delete;
    AllocationBudget& operator=(const AllocationBudget&) = delete;

private:
    std::size_t limit = 0;     // bytes above `baseline` allowed at the peak
    std::size_t baseline = 0;  // bytes in use when the budget began
};

}  // namespace fuzzsupport
