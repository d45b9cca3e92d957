// Frame timing of the demo, section by section: the time to draw and present
// one frame (draw() with its flush, no capture writing), frames stepped at
// 60 a second on a virtual clock through the whole timeline. Prints the median
// and worst frame per section and the median's share of the 16 ms a frame has
// at 60 frames a second. Needs a display and the demo's generated data.

#include "app/capture/Capture.h"
#include "app/demo/Demo.h"
#include "app/demo/Timeline.h"
#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

const unsigned framesPerSecond = 60;
const unsigned lastTime = 60000;     // ms: into the closing loop
const unsigned measureEvery = 3;     // frames; the others are passed over with skipFrame
const double frameBudget = 1000.0 / 60;

const char* name(Section section) {
    switch (section) {
    case Section::openingA: return "opening A (title, sphere)";
    case Section::openingB: return "opening B (title, sphere)";
    case Section::openingC: return "opening C (sphere, head)";
    case Section::openingD: return "opening D (title, head)";
    case Section::middle: return "middle (background, cloud)";
    case Section::tunnel: return "tunnel";
    default: return "closing (picture, tunnel, scroller)";
    }
}

}  // namespace

// bench_frames [DATA DIRECTORY [FROM MS TO MS]]: the range narrows the
// measured frames, for profiling one section.
int main(int argc, char** argv) {
    const char* dataDirectory = argc > 1 ? argv[1] : TARNIX_DEMO_DIRECTORY;
    const unsigned from = argc > 3 ? static_cast<unsigned>(std::atoi(argv[2])) : 0;
    const unsigned to = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : lastTime;
    if (chdir(dataDirectory) != 0) {
        std::fprintf(stderr, "bench_frames: cannot enter %s\n", dataDirectory);
        return 1;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    VirtualClock clock;
    tarnix::setTickSource(&clock);
    tarnix::window.setFullscreen(false);
    if (!setUpDemo())
        return 1;

    std::map<Section, std::vector<double>> times;
    for (unsigned long k = 0;; ++k) {
        const std::uint64_t time = frameTime(0, framesPerSecond, k);
        if (time > lastTime)
            break;
        const auto t = static_cast<unsigned>(time);
        clock.now = t;
        tarnix::timer.setTime(t);
        if (k % measureEvery != 0 || t < from || t > to) {
            skipFrame(t);
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        draw();
        glFinish();
        times[sectionAt(t)].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }

    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%-38s %7s %10s %9s %15s\n", "section", "frames", "median ms", "worst ms", "median / 16 ms");
    for (auto& [section, samples] : times) {
        std::sort(samples.begin(), samples.end());
        const double median = samples[samples.size() / 2];
        std::printf("%-38s %7zu %10.2f %9.2f %14.2f%s\n", name(section), samples.size(), median, samples.back(),
                    median / frameBudget, median < 0.5 * frameBudget ? "" : "  (over half the budget)");
    }
    shutDownDemo();
    tarnix::init.close();
    return 0;
}
