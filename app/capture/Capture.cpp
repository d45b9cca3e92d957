#include "app/capture/Capture.h"

#include "app/capture/CaptureFiles.h"
#include "app/demo/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OffscreenTarget.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/io/FileSystem.h"
#include "engine/media/Sound.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

const int escapeKey = 27;
// Frames read and waiting to be written besides those being written: enough
// for the writers to keep up through a run of cheap frames, few enough to keep
// the memory small (a frame is 15 MB at --scale 4).
const std::size_t framesWaiting = 4;

// ---- Progress ----

// How far a capture has come, on standard error: on a terminal one line
// rewritten in place (at most ten times a second), elsewhere a line every five
// seconds; a last line when the capture ends. Nothing at all when quiet.
class CaptureProgress {
public:
    CaptureProgress(unsigned long frames, bool silent)
        : total(frames), quiet(silent), terminal(isatty(STDERR_FILENO) == 1), started(Clock::now()), reported(started) {}

    void frameDone(unsigned long done, unsigned demoTimeMs) {
        const Clock::time_point now = Clock::now();
        if (quiet || now - reported < (terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000)))
            return;
        reported = now;
        const double seconds = secondsSince(now);
        const double rate = done / seconds;
        char line[160];
        std::snprintf(line, sizeof line,
                      "tarnix: capturing frame %lu of %lu (%lu %%), demo time %u.%03u s, %.1f frames a second, %s left",
                      done, total, done * 100 / total, demoTimeMs / 1000, demoTimeMs % 1000, rate,
                      duration((total - done) / rate).c_str());
        show(line);
    }

    void finish(unsigned long done, unsigned firstMs, unsigned lastMs) {
        if (quiet)
            return;
        const double seconds = secondsSince(Clock::now());
        char line[160];
        std::snprintf(line, sizeof line,
                      "tarnix: captured %lu of %lu frames, demo time %u.%03u to %u.%03u s, in %s (%.1f frames a second)",
                      done, total, firstMs / 1000, firstMs % 1000, lastMs / 1000, lastMs % 1000,
                      duration(seconds).c_str(), done / seconds);
        show(line);
        if (terminal)
            std::fputc('\n', stderr);
    }

    // Ends a line left open on the terminal, so that an error starts a line of its own.
    void interrupt() {
        if (shown > 0)
            std::fputc('\n', stderr);
        shown = 0;
    }

private:
    using Clock = std::chrono::steady_clock;

    double secondsSince(Clock::time_point now) const {
        return std::max(1e-3, std::chrono::duration<double>(now - started).count());
    }

    static std::string duration(double seconds) {
        const long whole = static_cast<long>(seconds + 0.5);
        char text[32];
        if (whole >= 60)
            std::snprintf(text, sizeof text, "%ld min %ld s", whole / 60, whole % 60);
        else
            std::snprintf(text, sizeof text, "%ld s", whole);
        return text;
    }

    // On a terminal the line goes back to the start and covers a longer one
    // before it with spaces.
    void show(const char* line) {
        const std::size_t length = std::strlen(line);
        if (terminal) {
            std::fprintf(stderr, "\r%s%*s", line, static_cast<int>(shown > length ? shown - length : 0), "");
            shown = length;
        } else {
            std::fprintf(stderr, "%s\n", line);
        }
        std::fflush(stderr);
    }

    unsigned long total;
    bool quiet;
    bool terminal;
    Clock::time_point started;
    Clock::time_point reported;
    std::size_t shown = 0;  // characters of the line on the terminal now
};

// The frames from startMs to untilMs at fps: frame k is at startMs +
// floor(k · 1000 / fps), so k runs while k · 1000 < (untilMs - startMs + 1) · fps.
unsigned long frameCount(unsigned startMs, unsigned untilMs, unsigned fps) {
    if (untilMs < startMs)
        return 0;
    return static_cast<unsigned long>(((static_cast<unsigned long long>(untilMs - startMs) + 1) * fps + 999) / 1000);
}

}  // namespace

bool runCapture(const DemoOptions& options, VirtualClock& clock) {
    const std::string& directory = options.captureDirectory;
    if (tarnix::pathKind(directory) != tarnix::PathKind::directory && mkdir(directory.c_str(), 0777) != 0) {
        std::fprintf(stderr, "tarnix: %s: cannot make the capture directory: %s\n", directory.c_str(),
                     std::strerror(errno));
        return false;
    }
    // The music as the demo plays it from the start time, looping, written
    // as the frames go: the sound lasts as long as the frames.
    int rate = 44100, channels = 2;
    std::vector<std::int16_t> track;
    tarnix::sound.musicSamples(0, track, rate, channels);
    MusicPlayhead music(track, options.startMs, rate, channels);
    SoundFile soundFile;
    if (!soundFile.open(directory + "/sound.wav", rate, channels)) {
        std::fprintf(stderr, "tarnix: %s/sound.wav: cannot write the sound: %s\n", directory.c_str(),
                     std::strerror(errno));
        return false;
    }
    skipFramesBefore(options.startMs, options.framesPerSecond);

    // A finer capture is drawn off-screen, with sizes in pixels scaled alike.
    tarnix::OffscreenTarget target;
    const int scale = static_cast<int>(options.scale);
    if (scale > 1) {
        std::string error;
        if (!target.create(tarnix::window.getWidth() * scale, tarnix::window.getHeight() * scale, error)) {
            std::fprintf(stderr, "tarnix: --scale %d: %s\n", scale, error.c_str());
            return false;
        }
        tarnix::setPixelScale(static_cast<float>(scale));
    }
    // A writer a core: where drawing is cheap (the tunnel, the closing) the
    // encoding is what takes the time.
    const unsigned writers = std::max(1u, std::thread::hardware_concurrency());
    FrameQueue frames(tarnix::window.getWidth() * scale, tarnix::window.getHeight() * scale, framesWaiting + writers,
                      writers);
    std::string framePath;
    tarnix::setFrameObserver([&frames, &framePath] { frames.readAndQueue(framePath); });
    // The window shows the capture twice a second: presenting every frame
    // would cost a quarter of what drawing it does on a software renderer, and
    // the encoding needs the processor time (the progress is on stderr).
    tarnix::setPresentInterval(500);
    CaptureProgress progress(frameCount(options.startMs, options.untilMs, options.framesPerSecond), options.quiet);
    unsigned long count = 0;
    unsigned lastTime = options.startMs;
    std::size_t soundFramesWritten = 0;
    std::vector<std::int16_t> samples;
    for (;; ++count) {
        const std::uint64_t time = frameTime(options.startMs, options.framesPerSecond, count);
        if (time > options.untilMs || frames.hasFailed())
            break;
        const auto t = static_cast<unsigned>(time);
        clock.now = t;
        tarnix::timer.setTime(t);
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%05lu.png", count);
        framePath = directory + name;
        draw();
        lastTime = t;
        // The sound of frame k ends at floor((k + 1) · rate / fps) sample frames.
        const auto soundFramesDue =
            static_cast<std::size_t>(static_cast<unsigned long long>(count + 1) * rate / options.framesPerSecond);
        music.next(soundFramesDue - soundFramesWritten, samples);
        soundFile.append(samples.data(), samples.size());
        soundFramesWritten = soundFramesDue;
        progress.frameDone(count + 1, t);
        tarnix::input.pollEvent();
        if (tarnix::input.getKeyboard().getLastKey() == escapeKey) {
            ++count;
            break;
        }
    }
    tarnix::setFrameObserver(nullptr);
    tarnix::setPresentInterval(0);
    std::string error;
    const bool written = frames.finish(error);
    if (!written) {
        progress.interrupt();
        std::fprintf(stderr, "tarnix: %s\n", error.c_str());
    } else {
        progress.finish(count, options.startMs, lastTime);
    }
    if (!soundFile.close()) {
        std::fprintf(stderr, "tarnix: %s/sound.wav: cannot write the sound\n", directory.c_str());
        return false;
    }
    return written;
}
