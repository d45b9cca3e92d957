#pragma once

#include "app/CommandLine.h"
#include "engine/core/Ticks.h"

#include <cstdint>
#include <string>
#include <vector>

// The demo rendered offline on a virtual clock.

// A clock that stands still until told to move; sleeping takes no time.
class VirtualClock : public tarnix::TickSource {
public:
    unsigned now = 0;  // ms
    unsigned ticks() override { return now; }
    void delay(unsigned) override {}
};

// Renders frames at options.framesPerSecond from options.startMs to
// options.untilMs on the installed virtual clock, after the demo's set-up:
// DIR/frame_00000.png and so on, and the music as DIR/sound.wav of the same
// length. False, after one line on standard error, when DIR cannot be written.
bool runCapture(const DemoOptions& options, VirtualClock& clock);
