#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The little the engine asks of the operating system's file system beyond
// reading and writing files.

namespace tarnix {

enum class PathKind { missing, regularFile, directory, other };

// What is at `path` (symbolic links followed).
PathKind pathKind(const std::string& path);

// The directory holding the running program, "" when it cannot be told.
std::string executableDirectory();

// `path` made independent of the working directory (unchanged when absolute).
std::string absolutePath(const std::string& path);

// The entry names of one directory, "." and ".." left out, not recursing, in
// byte order of the names, so that the order (which decides the indices of
// loaded resources) is the same on every file system. Returns false, with the
// reason in `error`, when the directory cannot be opened or read to its end;
// `names` then holds the entries read before the failure.
bool listDirectory(const std::string& directory, std::vector<std::string>& names, std::string& error);

// Opens a regular file only, for reading, writing (made or emptied) or both,
// in binary: a directory, pipe or device is refused before it can be read as
// garbage or block the engine. Returns a stdio stream or null.
std::FILE* openRegularFile(const std::string& path, bool reading, bool writing);

// Makes a new, empty regular file at `path` for writing, in binary, after
// removing whatever file or link had that name (never a directory): a link
// planted under the name cannot redirect the write, nor a pipe block it.
// Meant for temporary names that are moved into place once written. Returns
// a stdio stream, or null with errno set.
std::FILE* createFreshFile(const std::string& path);

// The size of an open file, bytes. False when the system cannot tell.
bool fileSize(std::FILE* file, std::uint64_t& size);

// Moves the file `from` to `to` in one step, replacing a file already there
// (which std::rename does not do everywhere). False with errno set when it
// cannot; `to` is then as it was.
bool replaceFile(const std::string& from, const std::string& to);

// Cuts or extends the open file to `length` bytes. False with errno set.
bool truncateFile(std::FILE* file, std::uint64_t length);

// Makes one directory (its parent must exist). False with errno set.
bool makeDirectory(const std::string& path);

// Tells which files of one directory were written or moved in, so that data
// edited while the demo runs can be loaded again. Asking costs one system call
// when nothing changed (the system's change notification, not a scan).
class DirectoryWatcher {
public:
    DirectoryWatcher();
    ~DirectoryWatcher();
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Starts watching; false, with the reason in `error`, when it cannot.
    bool watch(const std::string& directory, std::string& error);
    // The names of the files finished writing or moved in since the last
    // call, each once, in the order first seen; never blocks.
    std::vector<std::string> changedNames();

private:
    // The system's side, made by watch(): the kernel's notification stream
    // (POSIX), or a change notification and the files as last seen (Windows).
    struct Platform;
    std::unique_ptr<Platform> platform;
};

}  // namespace tarnix
