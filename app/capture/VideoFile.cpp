#include "app/capture/VideoFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const char* const encoderProgram = "ffmpeg";
// The frames' pipe and the sound's, as ffmpeg sees them ("pipe:3", "pipe:4").
const int frameDescriptor = 3;
const int soundDescriptor = 4;

bool endsWith(const std::string& text, const char* ending) {
    const std::size_t length = std::strlen(ending);
    if (text.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - length + i])) != ending[i])
            return false;
    return true;
}

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

void append(std::vector<std::string>& to, std::initializer_list<std::string> more) {
    to.insert(to.end(), more.begin(), more.end());
}

// H.264 in 4:2:0 with the HD matrix (BT.709, limited range) and every colour
// tag set, so that players do not guess; a closed group of pictures every
// half second, so that a cut or a seek lands near where it is asked for.
void addH264(std::vector<std::string>& arguments, const VideoSettings& settings) {
    const std::string group = std::to_string(std::max(1u, settings.framesPerSecond / 2));
    append(arguments,
           {"-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int,format=yuv420p",
            "-c:v", "libx264", "-profile:v", "high", "-g", group, "-keyint_min", group, "-sc_threshold", "0", "-flags",
            "+cgop", "-bf", "2", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
            "-color_range", "tv"});
    switch (settings.preset) {
    case VideoPreset::youtube:
        // The 2160p60 range video sites recommend: 53 to 68 Mb/s.
        append(arguments, {"-preset", "superfast", "-b:v", "60M", "-maxrate", "68M", "-bufsize", "68M"});
        break;
    case VideoPreset::party:
        // What a compo's video player takes: level 4.1 (up to 50 Mb/s), 8 Mb/s.
        append(arguments, {"-preset", "veryfast", "-level:v", "4.1", "-b:v", "8M", "-maxrate", "10M", "-bufsize",
                           "10M"});
        break;
    default:
        append(arguments, {"-preset", "superfast", "-crf", "16"});
        break;
    }
}

}  // namespace

bool isVideoPath(const std::string& path) { return endsWith(path, ".mp4") || isMatroskaPath(path); }

bool isMatroskaPath(const std::string& path) { return endsWith(path, ".mkv"); }

bool parsePreset(const std::string& name, VideoPreset& preset) {
    const struct {
        const char* name;
        VideoPreset preset;
    } presets[] = {{"youtube", VideoPreset::youtube}, {"party", VideoPreset::party}, {"master", VideoPreset::master}};
    for (const auto& candidate : presets)
        if (name == candidate.name) {
            preset = candidate.preset;
            return true;
        }
    return false;
}

bool presetFrames(VideoPreset preset, int& width, int& height, unsigned& framesPerSecond) {
    switch (preset) {
    case VideoPreset::youtube:
        width = 2880, height = 2160, framesPerSecond = 60;
        return true;
    case VideoPreset::party:
        width = 1920, height = 1080, framesPerSecond = 30;
        return true;
    default:
        return false;
    }
}

std::vector<std::string> encodersFor(VideoPreset preset, const std::string& path) {
    const char* sound = isMatroskaPath(path) ? "flac" : "aac";
    if (preset == VideoPreset::master)
        return {"ffv1", sound};
    return {"libx264", sound};
}

// Both inputs say what they hold, so ffmpeg need not look ahead into them
// ("-probesize 32", its least): while it starts, it reads its inputs one after
// the other, and a look far into one would wait for more of it than the
// frames drawn so far have given.
std::vector<std::string> encoderArguments(const VideoSettings& settings, const std::string& output) {
    std::vector<std::string> arguments = {
        encoderProgram, "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-probesize", "32",
        "-f", "rawvideo", "-pixel_format", "rgb24",
        "-video_size", std::to_string(settings.width) + "x" + std::to_string(settings.height),
        "-framerate", std::to_string(settings.framesPerSecond), "-i", "pipe:" + std::to_string(frameDescriptor),
        "-probesize", "32", "-f", "s16le", "-sample_rate", std::to_string(settings.soundRate),
        "-channels", std::to_string(settings.soundChannels), "-thread_queue_size", "64",
        "-i", "pipe:" + std::to_string(soundDescriptor), "-map", "0:v", "-map", "1:a"};
    if (settings.preset == VideoPreset::master)
        // RGB as drawn, losslessly: no matrix, sRGB's transfer.
        append(arguments, {"-vf", "vflip", "-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-colorspace", "rgb",
                           "-color_primaries", "bt709", "-color_trc", "iec61966-2-1"});
    else
        addH264(arguments, settings);
    const bool matroska = isMatroskaPath(settings.path);
    if (matroska)
        append(arguments, {"-c:a", "flac", "-f", "matroska"});
    else
        append(arguments, {"-c:a", "aac", "-b:a", settings.preset == VideoPreset::youtube ? "384k" : "192k",
                           "-movflags", "+faststart", "-f", "mp4"});
    arguments.push_back(output);
    return arguments;
}

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
    frames.assign(framesWaiting, std::vector<unsigned char>(static_cast<std::size_t>(settings.width) * settings.height * 3));
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
    if (failed.empty() && std::rename(partPath.c_str(), settings.path.c_str()) != 0)
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
