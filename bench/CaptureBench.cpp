// The cost of capturing: the whole demo captured (frames read back, encoded
// and written as PNGs by the writer threads, the sound written as it goes)
// against the same frames only drawn and presented, in one run on the same
// data. Prints both times and their ratio. Needs a display and the demo's
// generated data.
//   bench_capture [DATA DIRECTORY [FPS [UNTIL MS]]]   (default 60 frames a second to 60000 ms)

#include "app/capture/Capture.h"
#include "app/CommandLine.h"
#include "app/demo/Demo.h"
#include "app/demo/FrameState.h"
#include "app/demo/Timeline.h"
#include "engine/core/Init.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    const char* dataDirectory = argc > 1 ? argv[1] : TARNIX_DEMO_DIRECTORY;
    DemoOptions options;
    options.framesPerSecond = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 60;
    options.untilMs = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 60000;
    options.quiet = true;
    char scratch[] = "/tmp/tarnix-capture-bench-XXXXXX";
    if (!mkdtemp(scratch) || chdir(dataDirectory) != 0) {
        std::perror(dataDirectory);
        return 1;
    }
    options.captureTarget = scratch;
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    VirtualClock clock;
    tarnix::setTickSource(&clock);
    tarnix::window.setFullscreen(false);
    takeOverRandomSequence();
    if (!setUpDemo())
        return 1;
    const FrameState afterSetUp = saveFrameState();

    // The same frames, drawn and presented only.
    const double drawProcessorStart = processorSeconds();
    const auto drawStart = std::chrono::steady_clock::now();
    unsigned long frames = 0;
    for (;; ++frames) {
        const std::uint64_t t = frameTime(0, options.framesPerSecond, frames);
        if (t > options.untilMs)
            break;
        clock.now = static_cast<unsigned>(t);
        tarnix::timer.setTime(static_cast<unsigned>(t));
        draw();
    }
    const double drawing = secondsSince(drawStart);
    const double drawingProcessor = processorSeconds() - drawProcessorStart;

    restoreFrameState(afterSetUp);
    const double captureProcessorStart = processorSeconds();
    const auto captureStart = std::chrono::steady_clock::now();
    const bool captured = runCapture(options, clock) == 0;
    const double capturing = secondsSince(captureStart);
    const double capturingProcessor = processorSeconds() - captureProcessorStart;
    shutDownDemo();
    tarnix::init.close();
    std::system((std::string("rm -rf ") + scratch).c_str());
    if (!captured)
        return 1;
    std::printf("%lu frames at %u a second to %u ms\n", frames, options.framesPerSecond, options.untilMs);
    std::printf("drawn only: %.2f s (%.1f ms a frame), %.2f s of processor time\n", drawing, 1000 * drawing / frames,
                drawingProcessor);
    std::printf("captured:   %.2f s (%.1f ms a frame), %.2f s of processor time\n", capturing,
                1000 * capturing / frames, capturingProcessor);
    std::printf("captured / drawn only: %.3f (target at most 1.15)\n", capturing / drawing);
    return 0;
}
