// The cost of capturing, in one run on the same data: the demo's frames only
// drawn and presented, against the same frames captured
//   - as PNG files (read back, encoded and written by the writer threads, the
//     sound written as it goes),
//   - straight to a video at the window's size (H.264 and AAC through ffmpeg),
//   - and, over a shorter range, drawn at the youtube preset's 2880 × 2160
//     against captured with that preset.
// Prints the times and their ratios, and for the videos the peak of the
// capture folder on disk against the finished file, and the memory (resident
// set) a quarter of the way through against at the end. Needs a display, the
// demo's generated data and ffmpeg.
// Each comparison runs ROUNDS times, drawing and capturing in turn, and the
// median ratio is the figure: a shared machine's slow spells vary single
// runs by a third. Every round starts warm, after one pass that draws the
// frames once (a software renderer compiles its shaders on first use).
// With Mesa's software renderer the drawing takes every core and the encoder
// has none. LP_NUM_THREADS=0 keeps the renderer on the drawing thread, one
// core, as a graphics processor would leave the others free: that measures
// what the capture itself costs.
//   bench_capture [DATA DIRECTORY [FPS [UNTIL MS [YOUTUBE UNTIL MS [ROUNDS]]]]]
//   (default 60 frames a second to 60000 ms, the youtube part to 10000 ms,
//   3 rounds)

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
    void print(const std::string& file) {
        stop();
        const double size = static_cast<double>(std::filesystem::file_size(file));
        std::printf("  the video %.1f MB; the folder at its fullest %.1f MB (%.3f of the video)\n", size / 1e6,
                    peakDisk / 1e6, peakDisk / size);
        std::printf("  memory a quarter through %.0f MB, at its peak %.0f MB\n", quarterMemory / 1e6, peakMemory / 1e6);
    }

private:
    std::string folder;
    double quarter;
    std::atomic<bool> done{false};
    std::atomic<double> peakDisk{0}, peakMemory{0}, quarterMemory{0};
    std::thread watcher;
};

// Draws the frames from 0 to untilMs at fps as a capture would, presenting
// each; the time it took, s.
double drawOnly(VirtualClock& clock, unsigned fps, unsigned untilMs, unsigned long& frames) {
    const auto start = std::chrono::steady_clock::now();
    for (frames = 0;; ++frames) {
        const std::uint64_t t = frameTime(0, fps, frames);
        if (t > untilMs)
            break;
        clock.now = static_cast<unsigned>(t);
        tarnix::timer.setTime(static_cast<unsigned>(t));
        draw();
    }
    return secondsSince(start);
}

// One capture from the state after set-up; its time, s, or -1 when it failed.
double timeCapture(const DemoOptions& options, VirtualClock& clock, const FrameState& afterSetUp) {
    restoreFrameState(afterSetUp);
    const auto start = std::chrono::steady_clock::now();
    const bool captured = runCapture(planCapture(options), clock) == 0;
    tarnix::setFrameLayout(tarnix::window.getWidth(), tarnix::window.getHeight());
    return captured ? secondsSince(start) : -1;
}

// A comparison run `rounds` times, drawing and capturing in turn so that a
// slow spell of the machine weighs on both alike; the median ratio counts.
class Rounds {
public:
    explicit Rounds(const char* what) : what(what) {}
    void add(double drawn, double captured, unsigned long frames) {
        std::printf("%s: drawn only %.2f s (%.1f ms a frame), captured %.2f s (%.1f ms a frame): %.3f\n", what, drawn,
                    1000 * drawn / frames, captured, 1000 * captured / frames, captured / drawn);
        ratios.push_back(captured < 0 ? -1 : captured / drawn);
    }
    // False when a capture failed.
    bool print(double target) {
        std::sort(ratios.begin(), ratios.end());
        const double median = ratios.empty() ? -1 : ratios[ratios.size() / 2];
        std::printf("%s: median ratio of %zu rounds %.3f (target at most %.2f)\n", what, ratios.size(), median, target);
        return !ratios.empty() && ratios.front() >= 0;
    }

private:
    const char* what;
    std::vector<double> ratios;
};

}  // namespace

int main(int argc, char** argv) {
    const char* dataDirectory = argc > 1 ? argv[1] : TARNIX_DEMO_DIRECTORY;
    DemoOptions options;
    options.framesPerSecond = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 60;
    options.untilMs = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 60000;
    const unsigned youtubeUntil = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 10000;
    const unsigned rounds = std::max(1, argc > 5 ? std::atoi(argv[5]) : 3);
    options.quiet = true;
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
    bool failed = false;

    std::printf("OpenGL renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    const unsigned fps = options.framesPerSecond, untilMs = options.untilMs;
    unsigned long frames = 0;
    const auto drawFromStart = [&](unsigned drawFps, unsigned drawUntil) {
        restoreFrameState(afterSetUp);
        return drawOnly(clock, drawFps, drawUntil, frames);
    };
    const double drawProcessorStart = processorSeconds();
    drawFromStart(fps, untilMs);
    std::printf("%lu frames at %u a second to %u ms, drawn only: %.2f s of processor time\n", frames, fps, untilMs,
                processorSeconds() - drawProcessorStart);

    Rounds asFiles("as PNG files");
    for (unsigned round = 0; round < rounds; ++round) {
        const double drawn = drawFromStart(fps, untilMs);
        options.captureTarget = folder + "/frames";
        asFiles.add(drawn, timeCapture(options, clock, afterSetUp), frames);
        std::filesystem::remove_all(options.captureTarget);
    }
    failed = !asFiles.print(1.15) || failed;

    Rounds toVideo("to a video at 640 x 480");
    options.captureTarget = folder + "/demo.mp4";
    for (unsigned round = 0; round < rounds; ++round) {
        const double drawn = drawFromStart(fps, untilMs);
        // The disk and the memory are watched in the last round.
        std::unique_ptr<CaptureWatch> watch;
        if (round + 1 == rounds)
            watch = std::make_unique<CaptureWatch>(folder, 1.2 * drawn);
        const double captured = timeCapture(options, clock, afterSetUp);
        toVideo.add(drawn, captured, frames);
        if (watch && captured >= 0)
            watch->print(options.captureTarget);
        std::filesystem::remove(options.captureTarget);
    }
    failed = !toVideo.print(1.15) || failed;

    // The youtube preset's size, drawn only, then captured.
    Rounds youtube("to a video with --preset youtube");
    options.preset = "youtube";
    options.framesPerSecond = 60;
    options.untilMs = youtubeUntil;
    for (unsigned round = 0; round < rounds; ++round) {
        double drawn = 0;
        {
            tarnix::OffscreenTarget target;
            std::string error;
            if (!target.create(2880, 2160, error)) {
                std::fprintf(stderr, "bench_capture: 2880 x 2160: %s\n", error.c_str());
                return 1;
            }
            tarnix::setFrameLayout(2880, 2160);
            drawn = drawFromStart(60, youtubeUntil);
            tarnix::setFrameLayout(tarnix::window.getWidth(), tarnix::window.getHeight());
        }
        std::unique_ptr<CaptureWatch> watch;
        if (round + 1 == rounds)
            watch = std::make_unique<CaptureWatch>(folder, 1.3 * drawn);
        const double captured = timeCapture(options, clock, afterSetUp);
        if (round == 0)
            std::printf("%lu frames at 60 a second to %u ms at 2880 x 2160\n", frames, youtubeUntil);
        youtube.add(drawn, captured, frames);
        if (watch && captured >= 0)
            watch->print(options.captureTarget);
        std::filesystem::remove(options.captureTarget);
    }
    failed = !youtube.print(1.3) || failed;
    shutDownDemo();
    tarnix::init.close();
    std::filesystem::remove_all(folder);
    return failed ? 1 : 0;
}
