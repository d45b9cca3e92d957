#pragma once

#include "app/CommandLine.h"
#include "app/capture/VideoFile.h"
#include "engine/core/Ticks.h"

#include <string>

// The demo rendered offline on a virtual clock.

// A clock that stands still until told to move; sleeping takes no time.
class VirtualClock : public tarnix::TickSource {
public:
    unsigned now = 0;  // ms
    unsigned ticks() override { return now; }
    void delay(unsigned) override {}
};

// A capture's settings, resolved once from the switches (which
// scanCommandLine has checked against each other) before anything is drawn,
// and followed by runCapture.
struct CapturePlan {
    std::string target;      // the directory, or the ".mp4"/".mkv" video; absolute
    bool toVideo = false;    // target is a video
    VideoPreset preset = VideoPreset::plain;
    unsigned framesPerSecond = 60;  // a preset's own rate where it sets one
    unsigned startMs = 0;    // demo times of the first and the last frame, ms
    unsigned untilMs = 0;
    unsigned long frames = 0;  // frames to draw: at startMs + floor(k * 1000 / fps) up to untilMs
    bool quiet = false;      // no progress lines
    // The frames' size comes from the preset, else the display (--native,
    // known once the window is open), else the window's times `scale`.
    bool native = false;
    unsigned scale = 1;
};

// The plan of the capture the switches ask for. The target is made
// absolute: the program may move to the data beside it, and the directory is
// the one the user meant, seen from where the program was started.
CapturePlan planCapture(const DemoOptions& options);

// For a capture to a video: whether it can be made here, by ffmpeg, at its
// target. "" when it can, else the line that says what is missing or wrong
// (status 1, before anything is drawn).
std::string captureProblem(const CapturePlan& plan);

// Renders plan.frames frames from plan.startMs on the installed virtual
// clock, after the demo's set-up: DIR/frame_00000.png and so on, and the music as DIR/sound.wav of the same
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
int runCapture(const CapturePlan& plan, VirtualClock& clock);

// After a capture's set-up failed: when a quit request or a stop signal
// stopped the loading, says so in one line and returns the exit status for
// it (as runCapture does); 0 when neither did.
int reportStopBeforeCapture();
