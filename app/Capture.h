#pragma once

#include "app/CommandLine.h"
#include "engine/core/Ticks.h"

#include <cstdint>
#include <string>
#include <vector>

// The demo rendered offline on a virtual clock, and the frame stepping shared
// by captures, --start and the frame-timing benchmark.

// A clock that stands still until told to move; sleeping takes no time.
class VirtualClock : public tarnix::TickSource {
public:
    unsigned now = 0;  // ms
    unsigned ticks() override { return now; }
    void delay(unsigned) override {}
};

// The demo time of frame k at `fps` frames a second from `startMs`, ms;
// 64 bits, so that it never wraps back below a 32-bit start or end time.
std::uint64_t frameTime(unsigned startMs, unsigned fps, unsigned long k);

// Passes over the frames at `fps` before `startMs` (skipFrame), so that the
// demo continues from there as if they had been drawn.
void skipFramesBefore(unsigned startMs, unsigned fps);

// Renders frames at options.framesPerSecond from options.startMs to
// options.untilMs on the installed virtual clock, after the demo's set-up:
// DIR/frame_00000.png and so on, and the music as DIR/sound.wav of the same
// length. False, after one line on standard error, when DIR cannot be written.
bool runCapture(const DemoOptions& options, VirtualClock& clock);
