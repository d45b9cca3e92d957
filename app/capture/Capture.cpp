#include "app/capture/Capture.h"

#include "app/capture/CaptureFiles.h"
#include "app/capture/CaptureProgress.h"
#include "app/capture/VideoFile.h"
#include "app/capture/YCbCrFrameReader.h"
#include "app/demo/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OffscreenTarget.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/media/Sound.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const soundFileName = "sound.wav";
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

// Asked while the drawing waits for a video's encoder: the window's events
// are read meanwhile, so that Escape or a closed window ends the wait as a
// stop signal does.
bool stopAskedWhileWaiting() {
    tarnix::input.pollEvent();
    return tarnix::input.getKeyboard().getLastKey() == tarnix::keyEscape || !requestedStop().why.empty();
}

// Whether the environment variable is set to "1".
bool environmentSaysYes(const char* variable) {
    const char* value = std::getenv(variable);
    return value && std::strcmp(value, "1") == 0;
}

// The frames' size in pixels, and the switch that asked for it.
struct FrameSize {
    int width, height;
    std::string asked;
};

// Asked once the window is open: the display's size is known then.
FrameSize frameSize(const CapturePlan& plan) {
    const VideoPresetSpec& preset = videoPresetSpec(plan.preset);
    if (preset.setsFrames())
        return {preset.width, preset.height, std::string("--preset ") + preset.name};
    const int width = tarnix::window.getWidth(), height = tarnix::window.getHeight();
    if (plan.native && tarnix::window.getDisplayWidth() > 0 && tarnix::window.getDisplayHeight() > 0)
        return {tarnix::window.getDisplayWidth(), tarnix::window.getDisplayHeight(), "--native"};
    const int scale = static_cast<int>(plan.scale);
    return {width * scale, height * scale, "--scale " + std::to_string(scale)};
}

VideoSettings videoSettings(const CapturePlan& plan, int width, int height, int rate, int channels) {
    VideoSettings settings;
    settings.path = plan.target;
    settings.preset = plan.preset;
    settings.width = width;
    settings.height = height;
    settings.framesPerSecond = plan.framesPerSecond;
    settings.soundRate = rate;
    settings.soundChannels = channels;
    return settings;
}

// A capture of another size than the window's is drawn off-screen, laid out
// on it with sizes in pixels scaled alike. False after one line.
bool prepareFrames(const FrameSize& size, tarnix::OffscreenTarget& target) {
    if (size.width == tarnix::window.getWidth() && size.height == tarnix::window.getHeight())
        return true;
    std::string error;
    if (!target.create(size.width, size.height, error)) {
        std::fprintf(stderr, "tarnix: %s: %s\n", size.asked.c_str(), error.c_str());
        return false;
    }
    tarnix::setFrameLayout(size.width, size.height);
    return true;
}

// The music as the demo plays it from the start time, looping, handed out
// frame by frame: the sound lasts as long as the frames.
class CaptureSound {
public:
    CaptureSound(unsigned startMs, unsigned fps) : fps(fps) {
        tarnix::sound.musicSamples(0, track, rate, channels);
        music = std::make_unique<MusicPlayhead>(track, startMs, rate, channels);
    }
    // The samples of frame `index` (from 0).
    const std::vector<std::int16_t>& ofFrame(unsigned long index) {
        music->next(static_cast<std::size_t>(soundFramesOf(index + 1, rate, fps) - soundFramesOf(index, rate, fps)),
                    samples);
        return samples;
    }
    int rate = 44100, channels = 2;
    const unsigned fps;

private:
    std::vector<std::int16_t> track;
    std::unique_ptr<MusicPlayhead> music;
    std::vector<std::int16_t> samples;
};

// How the drawing of a capture's frames ended.
struct Drawn {
    unsigned long count = 0;  // frames drawn
    Stop stop;                // why it ended early, if not by Escape or a failed write
};

// Draws the plan's frames, each followed by its sound through `afterFrame`
// (false: a write failed), until the last one, Escape, a stop request or a
// failed write. The progress is shown as it goes.
Drawn drawFrames(const CapturePlan& plan, VirtualClock& clock, CaptureProgress& progress,
                 const std::function<bool(unsigned long)>& afterFrame) {
    const unsigned fps = plan.framesPerSecond;
    // The window shows the capture twice a second: presenting every frame
    // would cost a quarter of what drawing it does on a software renderer, and
    // the encoding needs the processor time (the progress is on stderr).
    tarnix::setPresentInterval(500);
    // The per-frame motions follow the motion grid, not this capture's rate:
    // a frame at a demo time is the same picture at any rate.
    MotionGrid grid;
    Drawn drawn;
    while (drawn.count < plan.frames) {
        const auto t = static_cast<unsigned>(frameTime(plan.startMs, fps, drawn.count));
        clock.now = t;
        tarnix::timer.setTime(t);
        grid.prepare(t);
        draw();
        if (!afterFrame(drawn.count++)) {
            drawn.stop = requestedStop();  // a stop may have ended a wait for the writers
            break;
        }
        progress.frameDone(drawn.count, t);
        tarnix::input.pollEvent();
        if (tarnix::input.getKeyboard().getLastKey() == tarnix::keyEscape)
            break;
        drawn.stop = requestedStop();
        if (!drawn.stop.why.empty())
            break;
    }
    tarnix::setFrameObserver(nullptr);
    tarnix::setPresentInterval(0);
    return drawn;
}

void reportEnd(const CapturePlan& plan, CaptureProgress& progress, const Stop& stop, unsigned long kept) {
    const auto lastTime = static_cast<unsigned>(frameTime(plan.startMs, plan.framesPerSecond, kept > 0 ? kept - 1 : 0));
    if (stop.why.empty())
        progress.finish(kept, plan.startMs, lastTime);
    else
        progress.stopped(stop.why, kept, plan.startMs, lastTime);
}

bool prepareDirectory(const std::string& directory) {
    if (tarnix::pathKind(directory) != tarnix::PathKind::directory && !tarnix::makeDirectory(directory)) {
        std::fprintf(stderr, "tarnix: %s: cannot make the capture directory: %s\n", directory.c_str(),
                     std::strerror(errno));
        return false;
    }
    // An earlier capture's frames and sound go, so that no frame pattern
    // mixes them with this one's, nor a stopped capture leaves another's sound.
    std::string error;
    if (!removeFrameFiles(directory, 0, error)) {
        std::fprintf(stderr, "tarnix: %s: cannot remove an earlier capture's frames: %s\n", directory.c_str(),
                     error.c_str());
        return false;
    }
    const std::string sound = directory + "/" + soundFileName;
    if (std::remove(sound.c_str()) != 0 && errno != ENOENT) {
        std::fprintf(stderr, "tarnix: %s: cannot remove an earlier capture's sound: %s\n", sound.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// Frames as PNG files and the sound as a WAV in a directory.
int captureFrames(const CapturePlan& plan, VirtualClock& clock) {
    const std::string& directory = plan.target;
    const unsigned fps = plan.framesPerSecond;
    const unsigned long total = plan.frames;
    if (!prepareDirectory(directory))
        return EXIT_FAILURE;
    CaptureSound sound(plan.startMs, fps);
    SoundFile soundFile;
    const std::string soundPath = directory + "/" + soundFileName;
    if (!soundFile.open(soundPath, sound.rate, sound.channels, soundFramesOf(total, sound.rate, fps))) {
        std::fprintf(stderr, "tarnix: %s: cannot write the sound: %s\n", soundPath.c_str(),
                     soundFile.failure().c_str());
        return EXIT_FAILURE;
    }
    tarnix::OffscreenTarget target;
    const FrameSize size = frameSize(plan);
    if (!prepareFrames(size, target))
        return EXIT_FAILURE;
    // A writer a core: where drawing is cheap (the tunnel, the closing) the
    // encoding is what takes the time.
    const unsigned writers = std::min(tarnix::usableProcessors(), mostWriters);
    FrameQueue frames(size.width, size.height, framesWaiting + writers, writers);
    const unsigned digits = frameNameDigits(total);
    unsigned long index = 0;  // of the frame being drawn
    tarnix::setFrameObserver([&frames, &index, &directory, digits] {
        frames.readAndQueue(index, directory + "/" + frameFileName(index, digits));
    });
    CaptureProgress progress(total, plan.quiet);
    bool soundFailed = false;
    Drawn drawn = drawFrames(plan, clock, progress, [&](unsigned long drawnIndex) {
        index = drawnIndex + 1;
        const std::vector<std::int16_t>& samples = sound.ofFrame(drawnIndex);
        soundFailed = !soundFile.append(samples.data(), samples.size());
        return !soundFailed && !frames.hasFailed();
    });

    // What is whole: the frames up to a failed write and the sound of them.
    Stop& stop = drawn.stop;
    unsigned long kept = drawn.count;
    std::string error;
    unsigned long failedFrame = 0;
    if (!frames.finish(error, failedFrame)) {
        kept = std::min(kept, failedFrame);
        stop = {error, EXIT_FAILURE};
    }
    if (soundFailed) {
        kept = std::min(kept, framesWithin(soundFile.framesOnDisk(), sound.rate, fps, kept));
        if (stop.status != EXIT_FAILURE)
            stop = {soundPath + ": " + soundFile.failure(), EXIT_FAILURE};
    }
    if (kept < drawn.count && !removeFrameFiles(directory, kept, error) && stop.status != EXIT_FAILURE)
        stop = {error, EXIT_FAILURE};
    if (!soundFile.close(soundFramesOf(kept, sound.rate, fps)) && stop.status != EXIT_FAILURE)
        stop = {soundPath + ": " + soundFile.failure(), EXIT_FAILURE};
    reportEnd(plan, progress, stop, kept);
    return stop.status;
}

// Frames and sound straight into one video file, through ffmpeg.
int captureVideo(const CapturePlan& plan, VirtualClock& clock) {
    CaptureSound sound(plan.startMs, plan.framesPerSecond);
    tarnix::OffscreenTarget target;
    const FrameSize size = frameSize(plan);
    if (!prepareFrames(size, target))
        return EXIT_FAILURE;
    VideoSettings settings = videoSettings(plan, size.width, size.height, sound.rate, sound.channels);
    // FFV1 (the lossless master) keeps the RGB as drawn. H.264 frames are
    // converted to Y'CbCr on a graphics processor, where it costs next to
    // nothing and halves what is read back and piped; a software renderer
    // takes longer over it than ffmpeg does (1.2 ms against 0.8 a frame at
    // 640 x 480 with llvmpipe on 2 cores), so there ffmpeg converts, unless
    // the environment asks for the renderer's conversion
    // (TARNIX_CONVERT_ON_RENDERER=1: how the tests run that path on a
    // software renderer).
    tarnix::YCbCrFrameReader converter;
    std::string unconverted;
    const bool rendererConverts = !tarnix::drawsOnTheProcessor() || environmentSaysYes("TARNIX_CONVERT_ON_RENDERER");
    if (videoPresetSpec(settings.preset).codec == VideoCodec::h264 && rendererConverts &&
        converter.create(size.width, size.height, unconverted))
        settings.layout = FrameLayout::nv12;
    VideoEncoder video;
    if (!video.start(settings, stopAskedWhileWaiting)) {
        std::fprintf(stderr, "tarnix: %s: %s\n", plan.target.c_str(), video.failure().c_str());
        return EXIT_FAILURE;
    }
    bool written = true;
    tarnix::setFrameObserver([&] {
        unsigned char* pixels = video.frameBuffer();
        if (!pixels) {
            written = false;
            return;
        }
        if (settings.layout == FrameLayout::nv12) {
            converter.read(pixels);
        } else {
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, size.width, size.height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
        }
        written = video.addFrame();
    });
    CaptureProgress progress(plan.frames, plan.quiet);
    Drawn drawn = drawFrames(plan, clock, progress, [&](unsigned long index) {
        const std::vector<std::int16_t>& samples = sound.ofFrame(index);
        return written && video.addSound(samples.data(), samples.size());
    });
    // Every frame that reached ffmpeg is in the video, with its sound, unless it failed.
    if (!video.finish()) {
        progress.videoFailed(plan.target + ": " + video.failure(), video.framesAdded(), video.leftover());
        return EXIT_FAILURE;
    }
    reportEnd(plan, progress, drawn.stop, video.framesAdded());
    return drawn.stop.status;
}

}  // namespace

CapturePlan planCapture(const DemoOptions& options) {
    CapturePlan plan;
    plan.target = tarnix::absolutePath(options.captureTarget);
    plan.toVideo = isVideoPath(options.captureTarget);
    plan.preset = options.preset;
    plan.framesPerSecond = options.framesPerSecond;
    plan.startMs = options.startMs;
    plan.untilMs = options.untilMs;
    plan.frames = frameCount(options.startMs, options.untilMs, options.framesPerSecond);
    plan.quiet = options.quiet;
    plan.native = options.native;
    plan.scale = options.scale;
    return plan;
}

std::string captureProblem(const CapturePlan& plan) {
    if (!plan.toVideo)
        return "";
    std::string error = videoTargetProblem(plan.target);
    if (error.empty())
        checkVideoEncoder(videoSettings(plan, 0, 0, 0, 0), error);
    return error;
}

int runCapture(const CapturePlan& plan, VirtualClock& clock) {
    return plan.toVideo ? captureVideo(plan, clock) : captureFrames(plan, clock);
}

int reportStopBeforeCapture() {
    const Stop stop = requestedStop();
    if (stop.why.empty())
        return 0;
    std::fprintf(stderr, "tarnix: %s: the capture stopped while the demo was loading; nothing was captured\n",
                 stop.why.c_str());
    return stop.status;
}
