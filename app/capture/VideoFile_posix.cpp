#include "app/capture/VideoFile.h"

#include "engine/io/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

// Running ffmpeg as a child process on pipes: POSIX's fork, pipes and exec.

namespace {

const int frameDescriptor = encoderFrameDescriptor;
const int soundDescriptor = encoderSoundDescriptor;
const int encoderNiceness = 19;  // the least priority

// The path of `program` in one of PATH's directories, "" when none has it.
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

// Lets the pipe hold a whole frame, up to 1 MiB (what Linux grants any
// process): a 64 KiB pipe takes a 640 x 480 frame in fifteen turns of writer
// and reader, and each turn wakes a thread on the cores the drawing uses.
// Where the pipe cannot grow it works as it is, only less smoothly.
void widenPipe(int descriptor, std::size_t frameBytes) {
#ifdef F_SETPIPE_SZ
    const std::size_t most = 1 << 20;
    fcntl(descriptor, F_SETPIPE_SZ, static_cast<int>(std::min(frameBytes, most)));
#else
    (void)descriptor;
    (void)frameBytes;
#endif
}

// How long a writer waits in one go for its pipe to take more, and the
// drawing thread for the writers, before each looks again at why it waits.
const int sliceMs = 50;
// How often the encoder's threads are looked at while the drawing thread waits.
const std::chrono::milliseconds lookInterval(250);
// How long an encoder whose threads cannot be looked at may take no bytes:
// it may be busy ending the file.
const int blindLimitMs = 30000;

// What the encoder's threads are doing, from Linux's /proc: whether any runs
// or waits to run (or waits on a disk), whether its main thread is stopped,
// and its processor time so far (clock ticks, all threads).
struct EncoderActivity {
    bool known = false;
    bool working = false;
    bool stopped = false;
    unsigned long long ticks = 0;
};

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

EncoderActivity activityOf(pid_t process) {
    EncoderActivity activity;
    const std::string directory = "/proc/" + std::to_string(process);
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

// In the child between fork and exec: only calls safe there. Every
// descriptor past the encoder's five goes, whether or not whoever opened it
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

}  // namespace

bool checkVideoEncoder(const VideoSettings& settings, std::string& error) {
    const std::string program = findProgram(encoderProgram);
    if (program.empty()) {
        error = settings.path + ": a capture to a video needs the ffmpeg program, and there is none on the PATH "
                                "(Debian: apt-get install ffmpeg)";
        return false;
    }
    std::FILE* list = popen(("'" + program + "' -hide_banner -encoders 2>/dev/null").c_str(), "r");
    std::string listed;
    if (list) {
        char line[512];
        while (std::fgets(line, sizeof line, list))
            listed += line;
        pclose(list);
    }
    for (const std::string& name : encodersFor(settings.preset, settings.path))
        if (listed.find(" " + name + " ") == std::string::npos) {
            error = settings.path + ": " + program + " has no " + name + " encoder, which this video needs";
            return false;
        }
    return true;
}

// ---- VideoEncoder ----

// The encoder's signs of life over the drawing thread's current wait.
struct VideoEncoder::Watch {
    std::chrono::steady_clock::time_point quietSince = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastLook = quietSince;
    std::uint64_t bytes = 0;
    unsigned long long ticks = 0;
};

VideoEncoder::~VideoEncoder() {
    if (encoder >= 0 || frameWriter.joinable() || soundWriter.joinable()) {
        abandoned = true;
        stopWriters();
        closeStreams();
        killEncoder();
    }
    if (!partPath.empty())
        std::remove(partPath.c_str());
    if (messages)
        std::fclose(messages);
}

bool VideoEncoder::start(const VideoSettings& wanted, std::function<bool()> askStop) {
    settings = wanted;
    stopRequested = std::move(askStop);
    partPath = settings.path + ".part";
    const std::string program = findProgram(encoderProgram);
    int framePipe[2] = {-1, -1}, soundPipe[2] = {-1, -1};
    // The temporary file is made here, fresh, so that ffmpeg opens no link or
    // pipe planted under its name.
    std::FILE* part = program.empty() ? nullptr : tarnix::createFreshFile(partPath);
    const int partError = errno;
    if (part)
        std::fclose(part);
    messages = std::tmpfile();
    if (messages)
        fcntl(fileno(messages), F_SETFD, FD_CLOEXEC);
    if (program.empty() || !part || !messages || pipe2(framePipe, O_CLOEXEC) != 0 ||
        pipe2(soundPipe, O_CLOEXEC) != 0) {
        fail(program.empty() ? "the ffmpeg program is not on the PATH"
             : !part          ? partPath + ": cannot be written: " + std::strerror(partError)
                              : std::string(std::strerror(errno)));
        for (int descriptor : {framePipe[0], framePipe[1], soundPipe[0], soundPipe[1]})
            if (descriptor >= 0)
                close(descriptor);
        if (!part)
            partPath.clear();
        return false;
    }
    // A write to an encoder that has ended fails (EPIPE) instead of ending
    // this program. And the encoder's end must be ours to read, whatever the
    // parent did with SIGCHLD: ignored, the system would reap it unasked.
    signal(SIGPIPE, SIG_IGN);
    struct sigaction childEnds = {};
    childEnds.sa_handler = SIG_DFL;
    sigemptyset(&childEnds.sa_mask);
    sigaction(SIGCHLD, &childEnds, nullptr);
    // Everything the child needs is made before the fork: it only moves
    // descriptors and runs ffmpeg.
    const std::vector<std::string> arguments = encoderArguments(settings, partPath);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    const int messagesDescriptor = fileno(messages);
    const pid_t parent = getpid();
    encoder = fork();
    if (encoder == 0) {
        setpgid(0, 0);
#ifdef __linux__
        // Killed with the thread that started it, so that no video is ever
        // finished unattended after this program was killed or crashed.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
#endif
        // What this program set for itself is not ffmpeg's: the default
        // SIGPIPE, and no signal blocked.
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // The encoder takes the processor time the drawing leaves: frames
        // wait for it in the pipe and the queue, and a renderer kept waiting
        // for a core would slow the whole capture more than the encoder does.
        setpriority(PRIO_PROCESS, 0, encoderNiceness);
        // Out of the way of 3 and 4 first, then onto them (dup2 leaves the
        // copies open across exec).
        const int frameCopy = fcntl(framePipe[0], F_DUPFD_CLOEXEC, 10);
        const int soundCopy = fcntl(soundPipe[0], F_DUPFD_CLOEXEC, 10);
        dup2(nothing, 0);
        dup2(nothing, 1);
        dup2(messagesDescriptor, 2);
        dup2(frameCopy, frameDescriptor);
        dup2(soundCopy, soundDescriptor);
        closeDescriptorsFrom(soundDescriptor + 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    widenPipe(framePipe[1], frameBytes(settings.layout, settings.width, settings.height));
    close(nothing);
    close(framePipe[0]);
    close(soundPipe[0]);
    frameStream = framePipe[1];
    soundStream = soundPipe[1];
    if (encoder < 0) {
        fail(std::string("cannot start ffmpeg: ") + std::strerror(errno));
        closeStreams();
        std::remove(partPath.c_str());
        partPath.clear();
        return false;
    }
    // The writers never block in a write: they wait in poll(), a slice at a
    // time, so that an encoder given up can be left at once.
    for (int descriptor : {frameStream, soundStream})
        fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    frames.assign(framesWaiting,
                  std::vector<unsigned char>(frameBytes(settings.layout, settings.width, settings.height)));
    for (std::size_t i = 0; i < framesWaiting; ++i)
        idle.push_back(i);
    frameWriter = std::thread(&VideoEncoder::writeFrames, this);
    soundWriter = std::thread(&VideoEncoder::writeSound, this);
    return true;
}

unsigned char* VideoEncoder::frameBuffer() {
    std::unique_lock<std::mutex> lock(mutex);
    if (filling == framesWaiting) {
        if (!waitWatching(lock, [this] { return broken || !idle.empty(); }, true) || broken)
            return nullptr;
        filling = idle.front();
        idle.pop_front();
    }
    return frames[filling].data();
}

bool VideoEncoder::addFrame() {
    std::lock_guard<std::mutex> lock(mutex);
    if (broken || filling == framesWaiting)
        return false;
    queued.push_back(filling);
    filling = framesWaiting;
    ++added;
    changed.notify_all();
    return true;
}

bool VideoEncoder::addSound(const std::int16_t* samples, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex);
    if (broken)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    sound.insert(sound.end(), bytes, bytes + count * sizeof(std::int16_t));
    changed.notify_all();
    return true;
}

unsigned long VideoEncoder::framesAdded() const { return added; }

void VideoEncoder::writeFrames() {
    const std::size_t bytes = frames.empty() ? 0 : frames[0].size();
    for (;;) {
        std::size_t buffer;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return broken || closing || !queued.empty(); });
            if (broken || queued.empty())
                break;
            buffer = queued.front();
        }
        const bool sent = send(frameStream, frames[buffer].data(), bytes);
        std::lock_guard<std::mutex> lock(mutex);
        queued.pop_front();
        idle.push_back(buffer);
        changed.notify_all();
        if (!sent)
            break;
    }
    close(frameStream);  // the end of the picture for ffmpeg
    std::lock_guard<std::mutex> lock(mutex);
    frameStream = -1;
    ++writersDone;
    changed.notify_all();
}

void VideoEncoder::writeSound() {
    std::vector<unsigned char> writing;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return broken || closing || !sound.empty(); });
            if (broken || sound.empty())
                break;
            writing.swap(sound);
            sound.clear();
        }
        if (!send(soundStream, writing.data(), writing.size()))
            break;
    }
    close(soundStream);
    std::lock_guard<std::mutex> lock(mutex);
    soundStream = -1;
    ++writersDone;
    changed.notify_all();
}

// Writes all of `count` bytes; false, the writers stopping, when ffmpeg
// takes no more or is given up.
bool VideoEncoder::send(int descriptor, const unsigned char* bytes, std::size_t count) {
    while (count > 0 && !abandoned) {
        const ssize_t written = write(descriptor, bytes, count);
        if (written > 0) {
            bytes += written;
            count -= static_cast<std::size_t>(written);
            bytesTaken += static_cast<std::uint64_t>(written);
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            pollfd ready = {descriptor, POLLOUT, 0};
            poll(&ready, 1, sliceMs);
            continue;
        }
        break;
    }
    if (count == 0)
        return true;
    std::lock_guard<std::mutex> lock(mutex);
    broken = true;
    changed.notify_all();
    return false;
}

// Waits, a slice at a time, until `ready` holds. False when the wait ended
// otherwise: the encoder was given up (the reason in failure()), or, with
// `endOnStop`, a stop was asked for. The stop question is asked without the
// lock held: it may take its time (it reads the window's events).
bool VideoEncoder::waitWatching(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
                                bool endOnStop) {
    Watch watch;
    watch.bytes = bytesTaken;
    while (!ready()) {
        if (abandoned)
            return false;
        changed.wait_for(lock, std::chrono::milliseconds(sliceMs));
        if (ready())
            return true;
        lock.unlock();
        if (!stopping && stopRequested && stopRequested())
            stopping = true;
        const bool quiet = encoderQuiet(watch);
        lock.lock();
        if (stopping && endOnStop)
            return false;
        if (quiet) {
            lock.unlock();
            const bool spoke = encoderSpoke();
            const EncoderActivity activity = activityOf(encoder);
            giveUp(spoke                ? encoderMessage()
                   : activity.stopped   ? "ffmpeg is stopped and takes nothing"
                                        : "ffmpeg has taken nothing for " + std::to_string(quietLimitMs / 1000) +
                                            " s and does no work");
            lock.lock();
            return false;
        }
    }
    return true;
}

// Whether the encoder has been quiet for longer than it may be: it took no
// bytes and none of its threads worked (or waited to) since the wait began
// or since it last did. An encoder that cannot be looked at is judged by the
// bytes alone, over the longer limit.
bool VideoEncoder::encoderQuiet(Watch& watch) {
    const auto now = std::chrono::steady_clock::now();
    if (now - watch.lastLook < lookInterval || encoder < 0)
        return false;
    watch.lastLook = now;
    const std::uint64_t bytes = bytesTaken;
    const EncoderActivity activity = activityOf(encoder);
    if (bytes != watch.bytes || (activity.known && (activity.working || activity.ticks != watch.ticks)))
        watch.quietSince = now;
    watch.bytes = bytes;
    watch.ticks = activity.ticks;
    const int limitMs = !activity.known                ? blindLimitMs
                        : stopping || encoderSpoke() ? quietAfterWordMs
                                                     : quietLimitMs;
    return now - watch.quietSince >= std::chrono::milliseconds(limitMs);
}

// The encoder will not finish: it is killed, the writers leave, and the
// capture fails with `reason`.
void VideoEncoder::giveUp(const std::string& reason) {
    fail(reason);
    abandoned = true;
    killEncoder();
    std::lock_guard<std::mutex> lock(mutex);
    broken = true;
    changed.notify_all();
}

void VideoEncoder::stopWriters() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
        changed.notify_all();
    }
    if (frameWriter.joinable())
        frameWriter.join();
    if (soundWriter.joinable())
        soundWriter.join();
}

bool VideoEncoder::finish() {
    {
        std::unique_lock<std::mutex> lock(mutex);
        closing = true;
        changed.notify_all();
        waitWatching(lock, [this] { return writersDone == 2; }, false);
    }
    stopWriters();
    closeStreams();
    // ffmpeg ends the file: watched as the writes were.
    int status = -1;
    if (!abandoned) {
        std::unique_lock<std::mutex> lock(mutex);
        waitWatching(lock, [this, &status] { return (status = waitForEncoder()) != -2; }, false);
    }
    killEncoder();
    if (failed.empty() && (status != 0 || broken)) {
        // ffmpeg stopped reading or failed at the end: it says why.
        const std::string said = encoderMessage();
        fail(said.empty() ? "ffmpeg ended with status " + std::to_string(status) : said);
    }
    if (failed.empty() && !tarnix::replaceFile(partPath, settings.path)) {
        // ffmpeg finished the video: it stays, under the name it has.
        fail(partPath + ": cannot be renamed to " + settings.path + ": " + std::strerror(errno));
        kept = partPath;
    } else if (!failed.empty()) {
        std::remove(partPath.c_str());
    }
    partPath.clear();
    return failed.empty();
}

const std::string& VideoEncoder::failure() const { return failed; }

const std::string& VideoEncoder::leftover() const { return kept; }

void VideoEncoder::fail(const std::string& reason) {
    if (failed.empty())
        failed = reason;
}

void VideoEncoder::closeStreams() {
    for (int* descriptor : {&frameStream, &soundStream})
        if (*descriptor >= 0) {
            close(*descriptor);
            *descriptor = -1;
        }
}

// ffmpeg's exit status once it has ended, without waiting: -2 while it
// runs, -1 when it ended otherwise than by exiting, 0 when none runs.
int VideoEncoder::waitForEncoder() {
    if (encoder < 0)
        return 0;
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(encoder, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (ended == 0)
        return -2;
    encoder = -1;
    if (ended < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Ends an encoder still running at once (SIGKILL reaches a stopped one too)
// and reaps it.
void VideoEncoder::killEncoder() {
    if (encoder < 0)
        return;
    kill(encoder, SIGKILL);
    while (waitpid(encoder, nullptr, 0) < 0 && errno == EINTR) {
    }
    encoder = -1;
}

// Whether ffmpeg has said anything on its standard error: at its log level,
// only errors.
bool VideoEncoder::encoderSpoke() {
    struct stat status;
    return messages && fstat(fileno(messages), &status) == 0 && status.st_size > 0;
}

// ffmpeg's last line on its standard error, "" when it said nothing.
std::string VideoEncoder::encoderMessage() {
    if (!messages)
        return "";
    std::rewind(messages);
    std::string last, line;
    for (int c; (c = std::fgetc(messages)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            last = line;
        line.clear();
    }
    if (line.find_first_not_of(" \t\r") != std::string::npos)
        last = line;
    return last.empty() ? "" : "ffmpeg: " + last;
}
