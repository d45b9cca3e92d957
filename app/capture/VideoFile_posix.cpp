#include "app/capture/VideoFile.h"

#include "engine/io/FileSystem.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

VideoEncoder::~VideoEncoder() {
    stopWriters();
    closeStreams();
    waitForEncoder();
    if (!partPath.empty())
        std::remove(partPath.c_str());
    if (messages)
        std::fclose(messages);
}

bool VideoEncoder::start(const VideoSettings& wanted) {
    settings = wanted;
    partPath = settings.path + ".part";
    const std::string program = findProgram(encoderProgram);
    int framePipe[2] = {-1, -1}, soundPipe[2] = {-1, -1};
    messages = std::tmpfile();
    if (program.empty() || !messages || pipe2(framePipe, O_CLOEXEC) != 0 || pipe2(soundPipe, O_CLOEXEC) != 0) {
        fail(program.empty() ? "the ffmpeg program is not on the PATH" : std::strerror(errno));
        for (int descriptor : {framePipe[0], framePipe[1], soundPipe[0], soundPipe[1]})
            if (descriptor >= 0)
                close(descriptor);
        return false;
    }
    // A write to an encoder that has ended fails (EPIPE) instead of ending this program.
    signal(SIGPIPE, SIG_IGN);
    // Everything the child needs is made before the fork: it only moves
    // descriptors and runs ffmpeg.
    const std::vector<std::string> arguments = encoderArguments(settings, partPath);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    const int messagesDescriptor = fileno(messages);
    encoder = fork();
    if (encoder == 0) {
        setpgid(0, 0);
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
        return false;
    }
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
        changed.wait(lock, [this] { return broken || !idle.empty(); });
        if (broken)
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
    frameStream = -1;
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
    soundStream = -1;
}

// Writes all of `count` bytes; false, the writers stopping, when ffmpeg
// takes no more.
bool VideoEncoder::send(int descriptor, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = write(descriptor, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            std::lock_guard<std::mutex> lock(mutex);
            broken = true;
            changed.notify_all();
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
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
    stopWriters();
    closeStreams();
    const int status = waitForEncoder();
    if (status != 0 || broken) {
        // ffmpeg stopped reading or failed at the end: it says why.
        const std::string said = encoderMessage();
        fail(said.empty() ? "ffmpeg ended with status " + std::to_string(status) : said);
    }
    if (failed.empty() && !tarnix::replaceFile(partPath, settings.path))
        fail(partPath + ": cannot be renamed into place: " + std::strerror(errno));
    if (!failed.empty())
        std::remove(partPath.c_str());
    partPath.clear();
    return failed.empty();
}

const std::string& VideoEncoder::failure() const { return failed; }

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

// ffmpeg's exit status once it has ended; 0 when none runs, -1 when it
// ended otherwise than by exiting.
int VideoEncoder::waitForEncoder() {
    if (encoder < 0)
        return 0;
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(encoder, &status, 0)) < 0 && errno == EINTR) {
    }
    encoder = -1;
    if (ended < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
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
