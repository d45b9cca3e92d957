#pragma once

#include "app/CommandLine.h"
#include "engine/core/Ticks.h"

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
// length, the frames of an earlier capture in DIR going first; or, for a
// ".mp4" or ".mkv" target, both into that video (see VideoFile.h). Escape ends it
// early as its user's choice. A quit request (Input::setQuitEndsProgram(false)
// first) or a stop signal (catchStopSignals first) ends it too, and so does a
// failed write. Whatever ends it, the frames drawn up to the end (up to a
// failed write) are written whole and the sound is closed to their length.
// The per-frame motions follow the motion grid (app/demo/Timeline.h), so a
// frame at a demo time is the same at every rate.
// Returns the program's exit status: 0 when it ran to its end or Escape ended
// it, 128 + N for stop signal N, 1 for a closed window, a failed write or a
// directory that cannot be written; a line on standard error says which.
int runCapture(const DemoOptions& options, VirtualClock& clock);

// For a capture to a video: whether it can be made here, by ffmpeg, at its
// target. "" when it can, else the line that says what is missing or wrong
// (status 1, before anything is drawn).
std::string videoCaptureProblem(const DemoOptions& options);

// After a capture's set-up failed: when a quit request or a stop signal
// stopped the loading, says so in one line and returns the exit status for
// it (as runCapture does); 0 when neither did.
int reportStopBeforeCapture();
