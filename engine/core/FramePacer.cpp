#include "engine/core/FramePacer.h"

#include "engine/core/Ticks.h"
#include "engine/core/Window.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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
    if (!scheduled || now >= due + interval)
        due = now;  // late by a whole frame or more: start the schedule from here
    due += interval;
    scheduled = true;
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
    if (wait.count() > 0)
        delay(static_cast<unsigned>(wait.count()));
}

double FramePacer::intervalMs() const { return std::chrono::duration<double, std::milli>(interval).count(); }

}  // namespace tarnix
