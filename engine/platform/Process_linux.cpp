#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

// Child processes through POSIX's fork, pipes and exec; what their threads do
// from Linux's /proc.

namespace tarnix {

const bool childProcessesAvailable = true;

const char* const programPlaces = "on the PATH";

std::string programAdvice(const char* program) { return std::string("Debian: apt-get install ") + program; }

namespace {

// Lets the pipe hold `bytes`, up to 1 MiB (what Linux grants any process): a
// 64 KiB pipe takes a 640 x 480 frame in fifteen turns of writer and reader,
// and each turn wakes a thread on the cores the drawing uses. Where the pipe
// cannot grow it works as it is, only less smoothly.
void widenPipe(int descriptor, std::size_t bytes) {
#ifdef F_SETPIPE_SZ
    const std::size_t most = 1 << 20;
    if (bytes > 0)
        fcntl(descriptor, F_SETPIPE_SZ, static_cast<int>(std::min(bytes, most)));
#else
    (void)descriptor;
    (void)bytes;
#endif
}

// The state letter and the processor time of one /proc stat line; false
// when it cannot be read. The name in parentheses may hold anything, so the
// fields are counted from its last ")".
bool readStat(const std::string& path, char& state, unsigned long long& ticks) {
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (!file)
        return false;
    char line[1024];
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    const char* after = read ? std::strrchr(line, ')') : nullptr;
    unsigned long long user = 0, system = 0;
    // ") S ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime"
    if (!after || std::sscanf(after, ") %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &user,
                              &system) != 3)
        return false;
    ticks = user + system;
    return true;
}

// In the child between fork and exec: only calls safe there. Every
// descriptor past the child's own goes, whether or not whoever opened it
// asked for close-on-exec (a library's pipe, a temporary file).
void closeDescriptorsFrom(int first) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, static_cast<unsigned>(first), ~0u, 0u) == 0)
        return;
#endif
    const long most = sysconf(_SC_OPEN_MAX);
    for (long descriptor = first; descriptor < (most > 0 && most < 65536 ? most : 65536); ++descriptor)
        close(static_cast<int>(descriptor));
}

std::string quoted(const std::string& word) {
    std::string result = "'";
    for (char c : word)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

}  // namespace

std::string findProgram(const char* program) {
    const char* path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        std::size_t end = directories.find(':', start);
        if (end == std::string::npos)
            end = directories.size();
        const std::string directory = end > start ? directories.substr(start, end - start) : ".";
        const std::string candidate = directory + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

bool programOutput(const std::string& program, const std::vector<std::string>& arguments, std::string& output) {
    std::string command = quoted(program);
    for (std::size_t i = 1; i < arguments.size(); ++i)
        command += " " + quoted(arguments[i]);
    std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return false;
    output.clear();
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        output += line;
    return pclose(pipe) != -1;
}

// ---- ChildProcess ----

struct ChildProcess::Platform {
    pid_t child = -1;                  // -1 when none runs
    std::vector<int> pipes;            // our ends, -1 once closed
    std::FILE* messages = nullptr;     // the child's standard error
    bool foreground = false;           // at this program's priority, its output kept
    std::string directory;             // where it runs, "" for here
};

ChildProcess::ChildProcess() : platform(new Platform) {}

ChildProcess::~ChildProcess() {
    kill();
    for (std::size_t i = 0; i < platform->pipes.size(); ++i)
        closePipe(static_cast<int>(i));
    if (platform->messages)
        std::fclose(platform->messages);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::size_t>& pipeBytes, std::string& error) {
    const int pipeCount = static_cast<int>(pipeBytes.size());
    std::vector<int> readEnds(pipeBytes.size(), -1);
    platform->pipes.assign(pipeBytes.size(), -1);
    if (!platform->messages) {
        platform->messages = std::tmpfile();
        if (platform->messages)
            fcntl(fileno(platform->messages), F_SETFD, FD_CLOEXEC);
    }
    bool made = platform->messages != nullptr;
    for (int i = 0; made && i < pipeCount; ++i) {
        int ends[2];
        made = pipe2(ends, O_CLOEXEC) == 0;
        if (made) {
            readEnds[i] = ends[0];
            platform->pipes[i] = ends[1];
        }
    }
    const int nothing = made ? open("/dev/null", O_RDWR | O_CLOEXEC) : -1;
    if (!made || nothing < 0) {
        error = std::strerror(errno);
        for (int i = 0; i < pipeCount; ++i) {
            if (readEnds[i] >= 0)
                close(readEnds[i]);
            closePipe(i);
        }
        return false;
    }
    // A write to a child that has ended fails (EPIPE) instead of ending this
    // program. And the child's end must be ours to read, whatever the parent
    // did with SIGCHLD: ignored, the system would reap it unasked.
    signal(SIGPIPE, SIG_IGN);
    struct sigaction childEnds = {};
    childEnds.sa_handler = SIG_DFL;
    sigemptyset(&childEnds.sa_mask);
    sigaction(SIGCHLD, &childEnds, nullptr);
    // Everything the child needs is made before the fork: it only moves
    // descriptors and runs the program.
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // Where the pipes' read ends go on their way to their numbers: another
    // thread may hold the allocator's lock as the process forks, so the child
    // allocates nothing.
    std::vector<int> copies(readEnds.size());
    const int messagesDescriptor = fileno(platform->messages);
    const pid_t parent = getpid();
    platform->child = fork();
    if (platform->child == 0) {
        setpgid(0, 0);
#ifdef __linux__
        // Killed with the thread that started it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
#endif
        // What this program set for itself is not the child's: the default
        // SIGPIPE, and no signal blocked.
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // The child takes the processor time the drawing leaves: a renderer
        // kept waiting for a core would slow a capture more than its encoder.
        if (!platform->foreground)
            runInSpareTime();
        if (!platform->directory.empty() && chdir(platform->directory.c_str()) != 0)
            _exit(127);
        // Out of the way of the pipes' numbers first, then onto them (dup2
        // leaves the copies open across exec).
        for (int i = 0; i < pipeCount; ++i)
            copies[i] = fcntl(readEnds[i], F_DUPFD_CLOEXEC, firstPipeDescriptor + pipeCount);
        dup2(nothing, 0);
        dup2(platform->foreground ? messagesDescriptor : nothing, 1);
        dup2(messagesDescriptor, 2);
        for (int i = 0; i < pipeCount; ++i)
            dup2(copies[i], firstPipeDescriptor + i);
        closeDescriptorsFrom(firstPipeDescriptor + pipeCount);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    const int forkError = errno;
    close(nothing);
    for (int i = 0; i < pipeCount; ++i) {
        close(readEnds[i]);
        widenPipe(platform->pipes[i], pipeBytes[i]);
        // Writes never block: write() waits in poll(), a slice at a time, so
        // that a writer can leave a child given up at once.
        fcntl(platform->pipes[i], F_SETFL, fcntl(platform->pipes[i], F_GETFL) | O_NONBLOCK);
    }
    if (platform->child < 0) {
        error = "cannot start " + (arguments.empty() ? program : arguments[0]) + ": " + std::strerror(forkError);
        for (int i = 0; i < pipeCount; ++i)
            closePipe(i);
        return false;
    }
    return true;
}

long ChildProcess::write(int pipe, const unsigned char* bytes, std::size_t count, int waitMs) {
    const int descriptor = platform->pipes[static_cast<std::size_t>(pipe)];
    if (descriptor < 0)
        return -1;
    const ssize_t written = ::write(descriptor, bytes, count);
    if (written > 0)
        return static_cast<long>(written);
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        pollfd ready = {descriptor, POLLOUT, 0};
        poll(&ready, 1, waitMs);
        return 0;
    }
    return -1;
}

void ChildProcess::closePipe(int pipe) {
    int& descriptor = platform->pipes[static_cast<std::size_t>(pipe)];
    if (descriptor >= 0)
        close(descriptor);
    descriptor = -1;
}

int ChildProcess::exitStatus() {
    if (platform->child < 0)
        return 0;
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(platform->child, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (ended == 0)
        return -2;
    platform->child = -1;
    if (ended < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// SIGKILL reaches a stopped child too.
void ChildProcess::kill() {
    if (platform->child < 0)
        return;
    ::kill(platform->child, SIGKILL);
    while (waitpid(platform->child, nullptr, 0) < 0 && errno == EINTR) {
    }
    platform->child = -1;
}

bool ChildProcess::running() const { return platform->child >= 0; }

ProcessActivity ChildProcess::activity() const {
    ProcessActivity activity;
    if (platform->child < 0)
        return activity;
    const std::string directory = "/proc/" + std::to_string(platform->child);
    char state = 0;
    if (!readStat(directory + "/stat", state, activity.ticks))
        return activity;
    activity.known = true;
    activity.stopped = state == 'T' || state == 't';
    DIR* tasks = opendir((directory + "/task").c_str());
    if (!tasks)
        return activity;
    while (const dirent* task = readdir(tasks)) {
        unsigned long long ignored = 0;
        if (task->d_name[0] != '.' && readStat(directory + "/task/" + task->d_name + "/stat", state, ignored) &&
            (state == 'R' || state == 'D'))
            activity.working = true;
    }
    closedir(tasks);
    return activity;
}

bool ChildProcess::spoke() const {
    struct stat status;
    return platform->messages && fstat(fileno(platform->messages), &status) == 0 && status.st_size > 0;
}

void ChildProcess::runInForeground(const std::string& directory) {
    platform->foreground = true;
    platform->directory = directory;
}

std::string ChildProcess::messages() const {
    std::string text;
    if (!platform->messages)
        return text;
    std::rewind(platform->messages);
    for (int c; (c = std::fgetc(platform->messages)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

std::string ChildProcess::lastMessage() const { return lastNonBlankLine(messages()); }

}  // namespace tarnix
