#include "fuzz/FuzzSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

// ---- Counting every operator new ----
//
// The replaceable allocation functions, on malloc, keep a count of the bytes
// in use and its peak. Sizes come from malloc_usable_size, so that a delete
// without a size subtracts what its new added. Single-threaded, as the
// harnesses are.

namespace {

std::size_t bytesInUse = 0;
std::size_t peakBytesInUse = 0;

void* countedAllocation(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (block) {
        bytesInUse += malloc_usable_size(block);
        if (bytesInUse > peakBytesInUse)
            peakBytesInUse = bytesInUse;
    }
    return block;
}

void countedRelease(void* block) {
    if (!block)
        return;
    bytesInUse -= malloc_usable_size(block);
    std::free(block);
}

void* allocationOrThrow(std::size_t size) {
    if (void* block = countedAllocation(size))
        return block;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocationOrThrow(size); }
void* operator new[](std::size_t size) { return allocationOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size); }
void operator delete(void* block) noexcept { countedRelease(block); }
void operator delete[](void* block) noexcept { countedRelease(block); }
void operator delete(void* block, std::size_t) noexcept { countedRelease(block); }
void operator delete[](void* block, std::size_t) noexcept { countedRelease(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { countedRelease(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { countedRelease(block); }

namespace fuzzsupport {

namespace {

std::string scratchPath;  // absolute; empty until made

void removeFilesOf(const std::string& directory) {
    DIR* listing = opendir(directory.c_str());
    if (!listing)
        return;
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const std::string path = directory + "/" + entry->d_name;
        if (unlink(path.c_str()) != 0)
            rmdir(path.c_str());
    }
    closedir(listing);
}

// The harnesses write only into data/ and the directory itself.
void removeScratchDirectory() {
    removeFilesOf(scratchPath + "/data");
    rmdir((scratchPath + "/data").c_str());
    removeFilesOf(scratchPath);
    rmdir(scratchPath.c_str());
}

}  // namespace

void enterScratchDirectory() {
    static bool entered = false;
    if (entered)
        return;
    entered = true;
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/tarnix-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0 || mkdir("data", 0777) != 0) {
        std::perror("tarnix fuzz: scratch directory");
        std::abort();
    }
    scratchPath = pattern;
    std::atexit(removeScratchDirectory);
}

void writeInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    close(fd);
}

void clearDataDirectory() { removeFilesOf("data"); }

void fail(const char* what) {
    std::fprintf(stderr, "tarnix fuzz: %s\n", what);
    std::abort();
}

AllocationBudget::AllocationBudget(std::size_t inputBytes, std::size_t bytesPerInputByte, std::size_t fixedBytes)
    : limit(inputBytes * bytesPerInputByte + fixedBytes), baseline(bytesInUse) {
    peakBytesInUse = bytesInUse;
}

AllocationBudget::~AllocationBudget() {
    const std::size_t used = peakBytesInUse - baseline;
    if (used <= limit)
        return;
    char what[160];
    std::snprintf(what, sizeof what, "the input made the reader allocate %zu bytes at the peak, over its budget of %zu",
                  used, limit);
    fail(what);
}

}  // namespace fuzzsupport
