#include "engine/core/FramePacer.h"

#include "engine/core/Window.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tarnix {

namespace {

// Above every display's rate: only a guard against a swap interval that the
// driver reports but does not keep (presenting then returns at once).
const unsigned fastestDisplayRate = 500;

}  // namespace

FramePacer::FramePacer(unsigned framesPerSecond) {
    const bool displayPaced = hostPacesFrames || window.presentsAtDisplayRate();
    const unsigned rate = std::max(1u, displayPaced ? fastestDisplayRate : framesPerSecond);
    interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    const char* logPath = std::getenv("TARNIX_FRAME_LOG");
    if (logPath && *logPath) {
        log = std::fopen(logPath, "a");
        if (!log)
            std::fprintf(stderr, "tarnix: %s: cannot open the frame log: %s\n", logPath, std::strerror(errno));
    }
}

FramePacer::~FramePacer() {
    if (log)
        std::fclose(log);
}

void FramePacer::framePresented(unsigned demoMs) {
    const Clock::time_point now = Clock::now();
    if (log) {
        const double wallMs = std::chrono::duration<double, std::milli>(now.time_since_epoch()).count();
        std::fprintf(log, "%u %.3f\n", demoMs, wallMs);
        std::fflush(log);
    }
    if (hostPacesFrames)
        return;
    if (!scheduled)
        due = now;
    due += interval;
    scheduled = true;
    // A frame that came after its time is followed at once, and the schedule
    // goes on from it: no frames in a burst to catch up.
    if (now > due)
        due = now;
    // Real time, whatever clock the engine's ticks come from: the pace is
    // the viewer's, not the demo's (the development mode's clock may stand or
    // run at another speed).
    std::this_thread::sleep_until(due);
}

double FramePacer::intervalMs() const { return std::chrono::duration<double, std::milli>(interval).count(); }

}  // namespace tarnix
