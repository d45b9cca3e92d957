#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

// Paths are handed to the ANSI ("A") functions, as the C library's fopen and
// the streams take them: a name listed here opens with fopen there.
#include <windows.h>

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tarnix {

namespace {

// The system's text for GetLastError()'s code, on one line.
std::string lastErrorText() { return systemErrorText(GetLastError()); }

// errno for GetLastError()'s code, so that callers report it as they do on POSIX.
void setErrnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    default: errno = EIO; break;
    }
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

PathKind pathKind(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathKind::directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return PathKind::other;
    return PathKind::regularFile;
}

std::string executableDirectory() {
    std::vector<char> path(32768);
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return std::string();
    const std::string program(path.data(), length);
    const std::size_t separator = program.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : program.substr(0, separator);
}

// Absolute: a drive and a separator ("C:\"), or a leading separator (the
// current drive's root, or a "\\server" share).
std::string absolutePath(const std::string& path) {
    if ((!path.empty() && isSeparator(path[0])) || (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])))
        return path;
    std::vector<char> directory(32768);
    if (!_getcwd(directory.data(), static_cast<int>(directory.size())))
        return path;
    return std::string(directory.data()) + "/" + path;
}

bool listDirectory(const std::string& directory, std::vector<std::string>& names, std::string& error) {
    names.clear();
    WIN32_FIND_DATAA entry;
    const std::string pattern = directory + (directory.empty() || isSeparator(directory.back()) ? "*" : "/*");
    HANDLE listing = FindFirstFileA(pattern.c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) {
        // A drive's empty root has no "." to find: that is an empty listing.
        if (GetLastError() == ERROR_FILE_NOT_FOUND && pathKind(directory) == PathKind::directory)
            return true;
        error = lastErrorText();
        return false;
    }
    bool complete = true;
    do {
        if (std::strcmp(entry.cFileName, ".") != 0 && std::strcmp(entry.cFileName, "..") != 0)
            names.emplace_back(entry.cFileName);
    } while (FindNextFileA(listing, &entry));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        error = lastErrorText();
        complete = false;
    }
    FindClose(listing);
    std::sort(names.begin(), names.end());
    return complete;
}

// No pipes or devices among files here to block on: the type is checked
// once the file is open, as on POSIX. Not inherited by child processes.
std::FILE* openRegularFile(const std::string& path, bool reading, bool writing) {
    if (!reading && !writing)
        return nullptr;
    const char* mode = reading && writing ? "r+bN" : writing ? "wbN" : "rbN";
    if (writing && !reading && pathKind(path) == PathKind::directory) {
        errno = EISDIR;
        return nullptr;
    }
    std::FILE* stream = std::fopen(path.c_str(), mode);
    if (!stream)
        return nullptr;
    struct _stat64 status;
    if (_fstat64(_fileno(stream), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(stream);
        errno = EACCES;
        return nullptr;
    }
    return stream;
}

// DeleteFile removes a link itself, never what it points to.
std::FILE* createFreshFile(const std::string& path) {
    if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        setErrnoFromLastError();
        return nullptr;
    }
    const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* stream = _fdopen(fd, "wb");
    if (!stream)
        _close(fd);
    return stream;
}

bool fileSize(std::FILE* file, std::uint64_t& size) {
    struct _stat64 status;
    if (_fstat64(_fileno(file), &status) != 0)
        return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

// std::rename refuses to replace an existing file here.
bool replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    setErrnoFromLastError();
    return false;
}

bool truncateFile(std::FILE* file, std::uint64_t length) {
    if (std::fflush(file) != 0)
        return false;
    const errno_t failure = _chsize_s(_fileno(file), static_cast<__int64>(length));
    if (failure != 0)
        errno = failure;
    return failure == 0;
}

bool makeDirectory(const std::string& path) { return _mkdir(path.c_str()) == 0; }

// ---- Watching ----

// A change notification for the directory tells that something changed, not
// what: the files' sizes and write times, compared with those last seen, tell
// which. The notification also fires while a file is being written, so a file
// may be named once mid-way and again when finished; the caller loads it
// again each time, and the last time it is whole.

namespace {

struct Stamp {
    std::uint64_t writeTime = 0;  // FILETIME, 100 ns since 1601
    std::uint64_t size = 0;       // bytes
    bool operator!=(const Stamp& other) const { return writeTime != other.writeTime || size != other.size; }
};

std::vector<std::pair<std::string, Stamp>> filesIn(const std::string& directory) {
    std::vector<std::pair<std::string, Stamp>> files;
    std::vector<std::string> names;
    std::string error;
    listDirectory(directory, names, error);
    for (const std::string& name : names) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA((directory + "/" + name).c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        Stamp stamp;
        stamp.writeTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
        stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        files.emplace_back(name, stamp);
    }
    return files;
}

}  // namespace

struct DirectoryWatcher::Platform {
    HANDLE change = INVALID_HANDLE_VALUE;
    std::string directory;
    std::vector<std::pair<std::string, Stamp>> seen;  // in name order
};

DirectoryWatcher::DirectoryWatcher() = default;

DirectoryWatcher::~DirectoryWatcher() {
    if (platform && platform->change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(platform->change);
}

bool DirectoryWatcher::watch(const std::string& directory, std::string& error) {
    if (platform && platform->change != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(platform->change);
    platform = std::make_unique<Platform>();
    platform->change = FindFirstChangeNotificationA(
        directory.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE);
    if (platform->change == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return false;
    }
    platform->directory = directory;
    platform->seen = filesIn(directory);
    return true;
}

std::vector<std::string> DirectoryWatcher::changedNames() {
    std::vector<std::string> names;
    if (!platform || platform->change == INVALID_HANDLE_VALUE ||
        WaitForSingleObject(platform->change, 0) != WAIT_OBJECT_0)
        return names;
    FindNextChangeNotification(platform->change);
    std::vector<std::pair<std::string, Stamp>> now = filesIn(platform->directory);
    // Both in name order: one pass finds the files new or changed.
    auto before = platform->seen.begin();
    for (const auto& [name, stamp] : now) {
        while (before != platform->seen.end() && before->first < name)
            ++before;
        if (before == platform->seen.end() || before->first != name || before->second != stamp)
            names.push_back(name);
    }
    platform->seen = std::move(now);
    return names;
}

}  // namespace tarnix
