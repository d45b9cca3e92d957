#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// How far a capture has come, on standard error: on a terminal one line
// rewritten in place (at most ten times a second), elsewhere a line every five
// seconds; a last line when the capture ends. When quiet, only a stop that is
// not the capture's own end is reported.
class CaptureProgress {
public:
    CaptureProgress(unsigned long frames, bool quiet);

    void frameDone(unsigned long done, unsigned demoTimeMs);
    // The capture ran to its end, or Escape ended it: the summary.
    void finish(unsigned long done, unsigned firstMs, unsigned lastMs);
    // Anything else ended it: `why` ("SIGTERM", "the window was closed", the
    // failed write) and how much of the capture is whole, in one line.
    void stopped(const std::string& why, unsigned long kept, unsigned firstMs, unsigned lastMs);
    // A video could not be made whole: `why`, how many frames had gone to the
    // encoder, and where the video is if it was finished but could not be
    // moved into place (`leftover`, "" when nothing was kept).
    void videoFailed(const std::string& why, unsigned long sent, const std::string& leftover);

private:
    using Clock = std::chrono::steady_clock;

    double secondsSince(Clock::time_point now) const;
    // Ends a line left open on the terminal, so that a stop starts a line of its own.
    void interrupt();
    // On a terminal the line goes back to the start and covers a longer one
    // before it with spaces.
    void show(const char* line);

    unsigned long total;
    bool quiet;
    bool terminal;
    Clock::time_point started;
    Clock::time_point reported;
    std::size_t shown = 0;  // characters of the line on the terminal now
};
