// The cost of capturing, the user's whole job, in one run on the same data:
//   - png: the whole demo (60 frames a second, 640 x 480) captured as PNG
//     files (read back, encoded and written by the writer threads, the sound
//     written as it goes),
//   - video: the same straight to a video (H.264 and AAC through ffmpeg),
//   - youtube: 25 to 35 s, the heaviest stretch, with the youtube preset
//     (drawn at 2880 x 2160),
// each against the same frames only drawn, as the capture draws them (the
// motion grid, the window shown twice a second), every run timed from an idle
// renderer to its last frame drawn. Each ratio is the median of ROUNDS rounds
// in which drawing and capturing alternate, so that a slow spell of a shared
// machine weighs on both alike: the png and video captures are set against
// the mean of the whole demo drawn before and after them. Every round starts
// warm, after one pass that draws the demo once (a software renderer compiles
// its shaders on first use). Each line also gives the processor time spent,
// the process's own (renderer, writers) and the encoder's, which places the
// limit: the renderer keeps most of the cores busy, and the capture's work
// that does not fit in what it leaves adds to the wall time. The "floor" is
// that limit as a ratio: the capture's processor time spread over every core
// against the drawing's wall time, which no scheduling can beat. With Mesa's
// software renderer a second line splits it: its own threads' processor time
// drawing only and capturing (sharing the cores' caches slows them), and the
// floor of the capture's own work alone. For the videos
// the last round also prints the capture folder's peak on disk against the
// finished file, and the memory a quarter of the way through against its
// peak. The last line is "ratios: png=R video=R youtube=R".
// Needs a display, the demo's generated data and ffmpeg.
// LP_NUM_THREADS=0 keeps Mesa's software renderer on the drawing thread, one
// core, as a graphics processor would leave the others free.
//   bench_capture [DATA DIRECTORY [ROUNDS [UNTIL MS [YOUTUBE FROM MS [YOUTUBE UNTIL MS]]]]]
//   (default 3 rounds, the png and video captures to the demo's end at
//   60000 ms, the youtube one from 25000 to 35000 ms. A frame of that stretch
//   takes Mesa's software renderer about 1.5 s at 2880 x 2160, so a round
//   takes about half an hour there; the arguments shorten it.)

#include "app/capture/Capture.h"
#include "app/CommandLine.h"
#include "app/demo/Demo.h"
#include "app/demo/FrameState.h"
#include "app/demo/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/OffscreenTarget.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor time of the whole process (every thread, the renderer's too), s.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time of the children that have ended (the encoders), s.
double childProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time of the software renderer's own threads (Mesa names them
// "llvmpipe-N"), s: 0 with a graphics processor. Set against the same frames
// only drawn, it shows what sharing the cores costs the renderer itself.
double rendererThreadSeconds() {
    double seconds = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("llvmpipe", 0) != 0)
            continue;
        std::ifstream schedstat(task.path() / "schedstat");  // first field: ns on a processor
        double nanoseconds = 0;
        if (schedstat >> nanoseconds)
            seconds += nanoseconds / 1e9;
    }
    return seconds;
}

// Wall and processor time of one measured run, s.
struct Spent {
    double wall = -1;  // -1: the capture failed
    double own = 0;    // this process's threads
    double renderer = 0;  // of them, the software renderer's
    double encoder = 0;

    // The mean of two runs of the same work (a run that failed stays failed).
    static Spent mean(const Spent& a, const Spent& b) {
        Spent both;
        both.wall = a.wall < 0 || b.wall < 0 ? -1 : (a.wall + b.wall) / 2;
        both.own = (a.own + b.own) / 2;
        both.renderer = (a.renderer + b.renderer) / 2;
        both.encoder = (a.encoder + b.encoder) / 2;
        return both;
    }
};

// Times `run`, which returns false when it failed. The renderer is idle
// first, so that no earlier run's frames are counted in this one.
template <typename Run>
Spent measure(Run run) {
    glFinish();
    const double ownBefore = processorSeconds(), childrenBefore = childProcessorSeconds();
    const double rendererBefore = rendererThreadSeconds();
    const auto start = std::chrono::steady_clock::now();
    const bool done = run();
    Spent spent;
    spent.wall = done ? secondsSince(start) : -1;
    spent.own = processorSeconds() - ownBefore;
    spent.renderer = rendererThreadSeconds() - rendererBefore;
    spent.encoder = childProcessorSeconds() - childrenBefore;
    return spent;
}

// The process's resident memory now, bytes.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE));
}

double folderBytes(const std::string& folder) {
    double bytes = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file(error))
            bytes += static_cast<double>(entry.file_size(error));
    return bytes;
}

// Watches a capture folder and the memory while a capture runs, ten times a
// second: the peaks, and the memory's peak over the first quarter of `expected` s.
class CaptureWatch {
public:
    CaptureWatch(std::string folder, double expected) : folder(std::move(folder)), quarter(expected / 4) {
        watcher = std::thread([this] {
            const auto start = std::chrono::steady_clock::now();
            while (!done) {
                peakDisk = std::max(peakDisk.load(), folderBytes(this->folder));
                const double memory = residentBytes();
                peakMemory = std::max(peakMemory.load(), memory);
                if (secondsSince(start) <= quarter)
                    quarterMemory = std::max(quarterMemory.load(), memory);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~CaptureWatch() { stop(); }
    void stop() {
        done = true;
        if (watcher.joinable())
            watcher.join();
    }
    // Stops watching; the finished file `file` is measured, for print().
    void finish(const std::string& file) {
        stop();
        std::error_code error;
        const auto bytes = std::filesystem::file_size(file, error);
        size = error ? -1 : static_cast<double>(bytes);
    }
    void print() const {
        if (size <= 0)
            return;
        std::printf("  the video %.1f MB; the folder at its fullest %.1f MB (%.3f of the video)\n", size / 1e6,
                    peakDisk / 1e6, peakDisk / size);
        std::printf("  memory a quarter through %.0f MB, at its peak %.0f MB\n", quarterMemory / 1e6, peakMemory / 1e6);
    }

private:
    std::string folder;
    double quarter;
    double size = -1;  // of the finished file, bytes; -1: none
    std::atomic<bool> done{false};
    std::atomic<double> peakDisk{0}, peakMemory{0}, quarterMemory{0};
    std::thread watcher;
};

// Draws the frames from startMs to untilMs at fps as a capture draws them
// (the motion grid, the window shown twice a second), from the state after
// set-up; the number of frames.
unsigned long drawOnly(VirtualClock& clock, const FrameState& afterSetUp, unsigned fps, unsigned startMs,
                       unsigned untilMs) {
    restoreFrameState(afterSetUp);
    tarnix::setPresentInterval(500);
    MotionGrid grid;
    unsigned long frames = 0;
    for (;; ++frames) {
        const std::uint64_t t = frameTime(startMs, fps, frames);
        if (t > untilMs)
            break;
        clock.now = static_cast<unsigned>(t);
        tarnix::timer.setTime(static_cast<unsigned>(t));
        grid.prepare(static_cast<unsigned>(t));
        draw();
    }
    // A software renderer is still drawing what the frames since the last
    // one shown asked of it (up to half a second of them, which in the
    // heaviest stretch is seconds of work); a capture waits for each frame.
    glFinish();
    tarnix::setPresentInterval(0);
    return frames;
}

// The same at the youtube preset's size, in a framebuffer of its own.
bool drawOnlyAtYoutubeSize(VirtualClock& clock, const FrameState& afterSetUp, unsigned startMs, unsigned untilMs,
                           unsigned long& frames) {
    tarnix::OffscreenTarget target;
    std::string error;
    if (!target.create(2880, 2160, error)) {
        std::fprintf(stderr, "bench_capture: 2880 x 2160: %s\n", error.c_str());
        return false;
    }
    tarnix::setFrameLayout(2880, 2160);
    frames = drawOnly(clock, afterSetUp, 60, startMs, untilMs);
    tarnix::setFrameLayout(tarnix::window.getWidth(), tarnix::window.getHeight());
    return true;
}

// One capture from the state after set-up; false when it failed.
bool capture(const DemoOptions& options, VirtualClock& clock, const FrameState& afterSetUp) {
    restoreFrameState(afterSetUp);
    const bool captured = runCapture(planCapture(options), clock) == 0;
    tarnix::setFrameLayout(tarnix::window.getWidth(), tarnix::window.getHeight());
    return captured;
}

// One job's rounds: the ratio of each, and their median.
class Job {
public:
    Job(const char* name, const char* what, double target) : name(name), what(what), target(target) {}
    void add(const Spent& drawn, const Spent& captured, unsigned long frames) {
        const double floorRatio = (captured.own + captured.encoder) / (cores * drawn.wall);
        std::printf("%s: drawn only %.2f s (%.1f ms a frame, %.1f s of processor time, %.2f cores busy), captured "
                    "%.2f s (%.1f ms a frame, %.1f s of processor time here and %.1f s in the encoder): %.3f, the "
                    "floor on %u cores %.3f\n",
                    what, drawn.wall, 1000 * drawn.wall / frames, drawn.own, drawn.own / drawn.wall, captured.wall,
                    1000 * captured.wall / frames, captured.own, captured.encoder, captured.wall / drawn.wall, cores,
                    floorRatio);
        if (drawn.renderer > 0) {
            // The capture's own work (reading back, writing, encoding), apart
            // from what sharing the cores adds to the renderer's.
            const double work = captured.own - captured.renderer - (drawn.own - drawn.renderer) + captured.encoder;
            const double workFloor = (drawn.own + work) / (cores * drawn.wall);
            std::printf("  of which the renderer's threads: drawing only %.1f s, capturing %.1f s (%+.1f %%); the "
                        "capture's own work %.1f s, which alone would give %.3f\n",
                        drawn.renderer, captured.renderer, 100 * (captured.renderer / drawn.renderer - 1), work,
                        workFloor);
            workFloors.push_back(workFloor);
        }
        std::fflush(stdout);
        ratios.push_back(captured.wall < 0 || drawn.wall <= 0 ? -1 : captured.wall / drawn.wall);
        floors.push_back(floorRatio);
    }
    double median() const { return middleOf(ratios); }
    // False when a capture failed.
    bool print() {
        std::printf("%s: median ratio of %zu rounds %.3f (target at most %.2f), median floor %.3f", what,
                    ratios.size(), median(), target, middleOf(floors));
        if (!workFloors.empty())
            std::printf(", of the capture's own work alone %.3f", middleOf(workFloors));
        std::printf("\n");
        return !ratios.empty() && *std::min_element(ratios.begin(), ratios.end()) >= 0;
    }
    const char* name;

private:
    const char* what;
    double target;
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<double> ratios;
    std::vector<double> floors;  // the floor of each round
    std::vector<double> workFloors;  // the same with the renderer's threads as busy as when drawing only

    static double middleOf(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values.empty() ? -1 : values[values.size() / 2];
    }
};

}  // namespace

int main(int argc, char** argv) {
    const char* dataDirectory = argc > 1 ? argv[1] : TARNIX_DEMO_DIRECTORY;
    const unsigned rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    const unsigned demoEndMs = DemoOptions().untilMs;
    const unsigned untilMs = argc > 3 ? std::min<unsigned>(std::atoi(argv[3]), demoEndMs) : demoEndMs;
    const unsigned youtubeStartMs = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 25000;
    const unsigned youtubeUntilMs = argc > 5 ? static_cast<unsigned>(std::atoi(argv[5])) : 35000;
    char scratch[] = "/tmp/tarnix-capture-bench-XXXXXX";
    if (!mkdtemp(scratch) || chdir(dataDirectory) != 0) {
        std::perror(dataDirectory);
        return 1;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    VirtualClock clock;
    tarnix::setTickSource(&clock);
    tarnix::window.setFullscreen(false);
    takeOverRandomSequence();
    if (!setUpDemo())
        return 1;
    const FrameState afterSetUp = saveFrameState();
    const std::string folder = scratch;

    std::printf("OpenGL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    unsigned long frames = 0;
    const Spent warmUp = measure([&] { return (frames = drawOnly(clock, afterSetUp, 60, 0, untilMs)) > 0; });
    std::printf("%lu frames at 60 a second to %u ms, drawn once to warm up: %.2f s, %.2f s of processor time\n",
                frames, untilMs, warmUp.wall, warmUp.own);

    DemoOptions options;
    options.quiet = true;
    options.untilMs = untilMs;
    DemoOptions youtubeOptions = options;
    youtubeOptions.preset = VideoPreset::youtube;
    youtubeOptions.startMs = youtubeStartMs;
    youtubeOptions.untilMs = youtubeUntilMs;
    youtubeOptions.captureTarget = folder + "/youtube.mp4";
    Job png("png", "as PNG files", 1.15), video("video", "to a video at 640 x 480", 1.15),
        youtube("youtube", "with --preset youtube", 1.3);
    for (unsigned round = 1; round <= rounds; ++round) {
        std::printf("round %u of %u\n", round, rounds);
        // The PNG and video captures against the mean of drawing before and
        // after them, so that a shared machine slowing down or speeding up
        // over the minutes of a round weighs on neither.
        const auto drawWhole = [&] { return (frames = drawOnly(clock, afterSetUp, 60, 0, untilMs)) > 0; };
        const Spent drawnBefore = measure(drawWhole);
        options.captureTarget = folder + "/frames";
        const Spent pngCaptured = measure([&] { return capture(options, clock, afterSetUp); });
        std::filesystem::remove_all(options.captureTarget);

        // The disk and the memory of the videos are watched in the last round.
        const auto captureVideo = [&](const DemoOptions& videoOptions, double expectedWall,
                                      std::unique_ptr<CaptureWatch>& watch) {
            if (round == rounds)
                watch = std::make_unique<CaptureWatch>(folder, 1.3 * expectedWall);
            const Spent captured = measure([&] { return capture(videoOptions, clock, afterSetUp); });
            if (watch)
                watch->finish(videoOptions.captureTarget);
            std::filesystem::remove(videoOptions.captureTarget);
            return captured;
        };
        std::unique_ptr<CaptureWatch> videoWatch, youtubeWatch;
        options.captureTarget = folder + "/demo.mp4";
        const Spent videoCaptured = captureVideo(options, drawnBefore.wall, videoWatch);
        const Spent drawn = Spent::mean(drawnBefore, measure(drawWhole));
        png.add(drawn, pngCaptured, frames);
        video.add(drawn, videoCaptured, frames);
        if (videoWatch)
            videoWatch->print();

        unsigned long youtubeFrames = 0;
        const Spent youtubeDrawn = measure(
            [&] { return drawOnlyAtYoutubeSize(clock, afterSetUp, youtubeStartMs, youtubeUntilMs, youtubeFrames); });
        youtube.add(youtubeDrawn, captureVideo(youtubeOptions, youtubeDrawn.wall, youtubeWatch), youtubeFrames);
        if (youtubeWatch)
            youtubeWatch->print();
    }
    bool failed = !png.print();
    failed = !video.print() || failed;
    failed = !youtube.print() || failed;
    shutDownDemo();
    tarnix::init.close();
    std::filesystem::remove_all(folder);
    std::printf("ratios: %s=%.3f %s=%.3f %s=%.3f\n", png.name, png.median(), video.name, video.median(), youtube.name,
                youtube.median());
    return failed ? 1 : 0;
}
