#include "engine/platform/Platform.h"

#include <dirent.h>
#include <fcntl.h>
#ifdef __linux__
#include <sys/inotify.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnix {

PathKind pathKind(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return PathKind::missing;
    if (S_ISREG(status.st_mode))
        return PathKind::regularFile;
    if (S_ISDIR(status.st_mode))
        return PathKind::directory;
    return PathKind::other;
}

// Where the running program's file is: Linux shows it as /proc/self/exe;
// other systems (the browser's) have no folder of the program's.
std::string executableDirectory() {
#ifdef __linux__
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return std::string();
    const std::string program(path.data(), static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
#else
    return std::string();
#endif
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
    std::vector<char> directory(4096);
    if (!getcwd(directory.data(), directory.size()))
        return path;
    return std::string(directory.data()) + "/" + path;
}

bool listDirectory(const std::string& directory, std::vector<std::string>& names, std::string& error) {
    names.clear();
    DIR* listing = opendir(directory.c_str());
    if (!listing) {
        error = std::strerror(errno);
        return false;
    }
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(listing);
        if (!entry) {
            // readdir moves on by itself, so a failing entry can never be
            // returned twice; an error ends the listing and is reported.
            if (errno != 0) {
                error = std::strerror(errno);
                complete = false;
            }
            break;
        }
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end());
    return complete;
}

std::FILE* openRegularFile(const std::string& path, bool reading, bool writing) {
    if (!reading && !writing)
        return nullptr;
    int flags = O_CLOEXEC | O_NONBLOCK;
    const char* stdioMode = "rb";
    if (reading && writing) {
        flags |= O_RDWR;
        stdioMode = "r+b";
    } else if (writing) {
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        stdioMode = "wb";
    } else {
        flags |= O_RDONLY;
    }
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = fdopen(fd, stdioMode);
    if (!stream)
        ::close(fd);
    return stream;
}

std::FILE* createFreshFile(const std::string& path) {
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return nullptr;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* stream = fdopen(fd, "wb");
    if (!stream)
        ::close(fd);
    return stream;
}

bool fileSize(std::FILE* file, std::uint64_t& size) {
    struct stat status;
    if (fstat(fileno(file), &status) != 0)
        return false;
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool truncateFile(std::FILE* file, std::uint64_t length) {
    return ftruncate(fileno(file), static_cast<off_t>(length)) == 0;
}

bool makeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

// ---- Watching ----
// Linux tells of saved files through inotify; elsewhere (the browser) a
// watcher cannot start, and says so.

#ifdef __linux__

struct DirectoryWatcher::Platform {
    int descriptor = -1;  // the notification stream
};

DirectoryWatcher::DirectoryWatcher() = default;

DirectoryWatcher::~DirectoryWatcher() {
    if (platform && platform->descriptor >= 0)
        ::close(platform->descriptor);
}

bool DirectoryWatcher::watch(const std::string& directory, std::string& error) {
    if (!platform)
        platform = std::make_unique<Platform>();
    int& descriptor = platform->descriptor;
    if (descriptor < 0)
        descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0 || inotify_add_watch(descriptor, directory.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

std::vector<std::string> DirectoryWatcher::changedNames() {
    std::vector<std::string> names;
    if (!platform || platform->descriptor < 0)
        return names;
    const int descriptor = platform->descriptor;
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t length = ::read(descriptor, buffer, sizeof buffer);
        if (length <= 0)
            break;  // EAGAIN: nothing more for now
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0)
                continue;  // about the directory itself
            const std::string name = event->name;
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    return names;
}

#else

struct DirectoryWatcher::Platform {};

DirectoryWatcher::DirectoryWatcher() = default;

DirectoryWatcher::~DirectoryWatcher() = default;

bool DirectoryWatcher::watch(const std::string&, std::string& error) {
    error = "this system tells no program of saved files";
    return false;
}

std::vector<std::string> DirectoryWatcher::changedNames() { return {}; }

#endif

}  // namespace tarnix
