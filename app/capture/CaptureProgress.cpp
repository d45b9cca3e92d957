#include "app/capture/CaptureProgress.h"

#include "engine/platform/Platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string duration(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    char text[32];
    if (whole >= 60)
        std::snprintf(text, sizeof text, "%ld min %ld s", whole / 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld s", whole);
    return text;
}

}  // namespace

CaptureProgress::CaptureProgress(unsigned long frames, bool silent)
    : total(frames),
      quiet(silent),
      terminal(tarnix::standardErrorIsTerminal()),
      started(Clock::now()),
      reported(started) {}

void CaptureProgress::frameDone(unsigned long done, unsigned demoTimeMs) {
    const Clock::time_point now = Clock::now();
    if (quiet || now - reported < (terminal ? std::chrono::milliseconds(100) : std::chrono::milliseconds(5000)))
        return;
    reported = now;
    const double rate = done / secondsSince(now);
    char line[160];
    std::snprintf(line, sizeof line,
                  "tarnix: capturing frame %lu of %lu (%lu %%), demo time %u.%03u s, %.1f frames a second, %s left",
                  done, total, done * 100 / total, demoTimeMs / 1000, demoTimeMs % 1000, rate,
                  duration((total - done) / rate).c_str());
    show(line);
}

void CaptureProgress::finish(unsigned long done, unsigned firstMs, unsigned lastMs) {
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

void CaptureProgress::stopped(const std::string& why, unsigned long kept, unsigned firstMs, unsigned lastMs) {
    interrupt();
    if (kept == 0) {
        std::fprintf(stderr, "tarnix: %s: the capture stopped before its first frame of %lu\n", why.c_str(), total);
        return;
    }
    std::fprintf(stderr,
                 "tarnix: %s: the capture stopped after %lu of %lu frames, demo time %u.%03u to %u.%03u s; the "
                 "frames and the sound up to there are whole\n",
                 why.c_str(), kept, total, firstMs / 1000, firstMs % 1000, lastMs / 1000, lastMs % 1000);
}

void CaptureProgress::videoFailed(const std::string& why, unsigned long sent, const std::string& leftover) {
    interrupt();
    const std::string what = leftover.empty() ? "no video was written"
                                              : "the video of them is whole in " + leftover;
    std::fprintf(stderr, "tarnix: %s: the capture failed after %lu of %lu frames had gone to the encoder; %s\n",
                 why.c_str(), sent, total, what.c_str());
}

double CaptureProgress::secondsSince(Clock::time_point now) const {
    return std::max(1e-3, std::chrono::duration<double>(now - started).count());
}

void CaptureProgress::interrupt() {
    if (shown > 0)
        std::fputc('\n', stderr);
    shown = 0;
}

void CaptureProgress::show(const char* line) {
    const std::size_t length = std::strlen(line);
    if (terminal) {
        std::fprintf(stderr, "\r%s%*s", line, static_cast<int>(shown > length ? shown - length : 0), "");
        shown = length;
    } else {
        std::fprintf(stderr, "%s\n", line);
    }
    std::fflush(stderr);
}
