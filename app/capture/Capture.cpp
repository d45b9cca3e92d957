#include "app/capture/Capture.h"

#include "app/capture/CaptureFiles.h"
#include "app/capture/CaptureProgress.h"
#include "app/demo/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OffscreenTarget.h"
#include "engine/core/StopSignals.h"
#include "engine/core/Threads.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/io/FileSystem.h"
#include "engine/media/Sound.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int escapeKey = 27;
// Frames read and waiting to be written besides those being written: enough
// for the writers to keep up through a run of cheap frames, few enough to keep
// the memory small (a frame is 15 MB at --scale 4).
const std::size_t framesWaiting = 4;
// Writers at most, whatever the processors: past this many the drawing is
// what takes the time, and each holds a frame's buffer.
const unsigned mostWriters = 8;

// The frames from startMs to untilMs at fps: frame k is at startMs +
// floor(k · 1000 / fps), so k runs while k · 1000 < (untilMs - startMs + 1) · fps.
unsigned long frameCount(unsigned startMs, unsigned untilMs, unsigned fps) {
    if (untilMs < startMs)
        return 0;
    return static_cast<unsigned long>(((static_cast<unsigned long long>(untilMs - startMs) + 1) * fps + 999) / 1000);
}

// The sound of the first `frames` frames: frame k's ends at
// floor((k + 1) · rate / fps) sample frames.
std::uint64_t soundFramesOf(unsigned long frames, int rate, unsigned fps) {
    return static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(rate) / fps;
}

// The most frames whose sound lies within `soundFrames` sample frames.
unsigned long framesWithin(std::uint64_t soundFrames, int rate, unsigned fps, unsigned long atMost) {
    unsigned long frames = 0;
    while (frames < atMost && soundFramesOf(frames + 1, rate, fps) <= soundFrames)
        ++frames;
    return frames;
}

// Why a capture ended before its last frame, besides Escape.
struct Stop {
    std::string why;  // "" while none
    int status = 0;   // the program's exit status for it
};

Stop requestedStop() {
    if (const int signal = tarnix::caughtStopSignal())
        return {tarnix::stopSignalName(signal), 128 + signal};
    if (tarnix::input.quitRequested())
        return {"the window was closed", 1};
    return {};
}

// The frames' size in pixels, and the switch that asked for it.
struct FrameSize {
    int width, height;
    std::string asked;
};

FrameSize frameSize(const DemoOptions& options) {
    const int width = tarnix::window.getWidth(), height = tarnix::window.getHeight();
    if (options.native && tarnix::window.getDisplayWidth() > 0 && tarnix::window.getDisplayHeight() > 0)
        return {tarnix::window.getDisplayWidth(), tarnix::window.getDisplayHeight(), "--native"};
    const int scale = static_cast<int>(options.scale);
    return {width * scale, height * scale, "--scale " + std::to_string(scale)};
}

bool prepareDirectory(const std::string& directory) {
    if (tarnix::pathKind(directory) != tarnix::PathKind::directory && mkdir(directory.c_str(), 0777) != 0) {
        std::fprintf(stderr, "tarnix: %s: cannot make the capture directory: %s\n", directory.c_str(),
                     std::strerror(errno));
        return false;
    }
    // An earlier capture's frames go, so that no frame pattern mixes them
    // with this one's.
    std::string error;
    if (!removeFrameFiles(directory, 0, error)) {
        std::fprintf(stderr, "tarnix: %s: cannot remove an earlier capture's frames: %s\n", directory.c_str(),
                     error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int runCapture(const DemoOptions& options, VirtualClock& clock) {
    const std::string& directory = options.captureDirectory;
    const unsigned fps = options.framesPerSecond;
    const unsigned long total = frameCount(options.startMs, options.untilMs, fps);
    if (!prepareDirectory(directory))
        return EXIT_FAILURE;
    // The music as the demo plays it from the start time, looping, written
    // as the frames go: the sound lasts as long as the frames.
    int rate = 44100, channels = 2;
    std::vector<std::int16_t> track;
    tarnix::sound.musicSamples(0, track, rate, channels);
    MusicPlayhead music(track, options.startMs, rate, channels);
    SoundFile soundFile;
    const std::string soundPath = directory + "/sound.wav";
    if (!soundFile.open(soundPath, rate, channels, soundFramesOf(total, rate, fps))) {
        std::fprintf(stderr, "tarnix: %s: cannot write the sound: %s\n", soundPath.c_str(),
                     soundFile.failure().c_str());
        return EXIT_FAILURE;
    }
    skipFramesBefore(options.startMs, fps);

    // A capture of another size than the window's is drawn off-screen, laid
    // out on it with sizes in pixels scaled alike.
    tarnix::OffscreenTarget target;
    const FrameSize size = frameSize(options);
    if (size.width != tarnix::window.getWidth() || size.height != tarnix::window.getHeight()) {
        std::string error;
        if (!target.create(size.width, size.height, error)) {
            std::fprintf(stderr, "tarnix: %s: %s\n", size.asked.c_str(), error.c_str());
            return EXIT_FAILURE;
        }
        tarnix::setFrameLayout(size.width, size.height);
    }
    // A writer a core: where drawing is cheap (the tunnel, the closing) the
    // encoding is what takes the time.
    const unsigned writers = std::min(tarnix::usableProcessors(), mostWriters);
    FrameQueue frames(size.width, size.height, framesWaiting + writers, writers);
    const unsigned digits = frameNameDigits(total);
    unsigned long count = 0;  // frames drawn
    tarnix::setFrameObserver([&frames, &count, &directory, digits] {
        frames.readAndQueue(count, directory + "/" + frameFileName(count, digits));
    });
    // The window shows the capture twice a second: presenting every frame
    // would cost a quarter of what drawing it does on a software renderer, and
    // the encoding needs the processor time (the progress is on stderr).
    tarnix::setPresentInterval(500);
    CaptureProgress progress(total, options.quiet);
    std::vector<std::int16_t> samples;
    Stop stop;
    bool soundFailed = false;
    while (count < total && !frames.hasFailed()) {
        const auto t = static_cast<unsigned>(frameTime(options.startMs, fps, count));
        clock.now = t;
        tarnix::timer.setTime(t);
        draw();
        ++count;
        music.next(static_cast<std::size_t>(soundFramesOf(count, rate, fps) - soundFramesOf(count - 1, rate, fps)),
                   samples);
        if (!soundFile.append(samples.data(), samples.size())) {
            soundFailed = true;
            break;
        }
        progress.frameDone(count, t);
        tarnix::input.pollEvent();
        if (tarnix::input.getKeyboard().getLastKey() == escapeKey)
            break;
        stop = requestedStop();
        if (!stop.why.empty())
            break;
    }
    tarnix::setFrameObserver(nullptr);
    tarnix::setPresentInterval(0);

    // What is whole: the frames up to a failed write and the sound of them.
    unsigned long kept = count;
    std::string error;
    unsigned long failedFrame = 0;
    if (!frames.finish(error, failedFrame)) {
        kept = std::min(kept, failedFrame);
        stop = {error, EXIT_FAILURE};
    }
    if (soundFailed) {
        kept = std::min(kept, framesWithin(soundFile.framesOnDisk(), rate, fps, kept));
        if (stop.status != EXIT_FAILURE)
            stop = {soundPath + ": " + soundFile.failure(), EXIT_FAILURE};
    }
    if (kept < count && !removeFrameFiles(directory, kept, error) && stop.status != EXIT_FAILURE)
        stop = {error, EXIT_FAILURE};
    if (!soundFile.close(soundFramesOf(kept, rate, fps)) && stop.status != EXIT_FAILURE)
        stop = {soundPath + ": " + soundFile.failure(), EXIT_FAILURE};

    const auto lastTime = static_cast<unsigned>(frameTime(options.startMs, fps, kept > 0 ? kept - 1 : 0));
    if (stop.why.empty())
        progress.finish(kept, options.startMs, lastTime);
    else
        progress.stopped(stop.why, kept, options.startMs, lastTime);
    return stop.status;
}

int reportStopBeforeCapture() {
    const Stop stop = requestedStop();
    if (stop.why.empty())
        return 0;
    std::fprintf(stderr, "tarnix: %s: the capture stopped while the demo was loading; nothing was captured\n",
                 stop.why.c_str());
    return stop.status;
}
