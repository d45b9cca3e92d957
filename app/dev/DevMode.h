#pragma once

#include "app/demo/FrameState.h"
#include "engine/core/Ticks.h"
#include "engine/platform/Platform.h"

#include <chrono>
#include <deque>
#include <string>

// The development mode (--dev): the demo in a window, with pause, seeking and
// frame stepping, a caption that says where it is, and the data files that
// change on disk loaded again while it runs.

// The development mode's clock: the demo time itself, ms. It runs with the
// tick count while playing and stands while paused. The tunnel, which animates
// on raw ticks, reads it too, so it waits with the rest of the picture, and a
// frame at a demo time is the frame a capture draws at that time.
class DevClock : public tarnix::TickSource {
public:
    unsigned ticks() override;
    void delay(unsigned milliseconds) override;  // really sleeps

    // Starts or stops it at the time it shows.
    void run(bool on);
    bool isRunning() const;
    // Jumps to `ms`, running or not.
    void set(unsigned ms);

private:
    tarnix::SdlTickSource real;
    unsigned heldMs = 0;             // demo time when last stopped or set
    unsigned runningSinceTicks = 0;  // SDL ticks at the last start or jump while running
    bool running = false;
};

class DevMode {
public:
    // Seeks and steps replay the frames on the motion grid, as --start does.
    DevMode() = default;
    // Gives the engine its own clock back.
    ~DevMode();
    DevMode(const DevMode&) = delete;
    DevMode& operator=(const DevMode&) = delete;

    // Before the demo's set-up: takes over the clock and rand()'s sequence.
    void prepare();
    // After the set-up: keeps the state it left, watches data/, says once
    // when a data pack is there, and plays from `startMs`.
    void start(unsigned startMs);
    // One pass of the loop: draw (the picture held still while paused),
    // sleep, advance the clock, act on every key pressed and every file
    // changed, caption. False once Escape has been pressed.
    bool frame();

    // What the keys do.
    void togglePause();                  // Space
    void seek(long long ms);             // Left, Right, Page Up, Page Down, Home; clamped at 0
    void stepFrames(int frames);         // comma and period, while paused
    bool handleKey(int key);             // any of the above; false for Escape
    // Loads the data file `name` (in data/) again, as a change on disk does.
    void reload(const std::string& name);

    unsigned getTime() const;            // demo time, ms
    bool isPaused() const;
    // "Kelbo vs. Vistral - 12.345 s - middle - 16.7 ms a frame" (" - paused"
    // after the section when paused): the median time of the last second's frames.
    std::string caption() const;

private:
    using Clock = std::chrono::steady_clock;

    void drawFrame();
    void restartMusic();
    void noteFrameTime(Clock::time_point now);

    DevClock clock;
    tarnix::DirectoryWatcher watcher;
    FrameState afterSetUp;       // the state the first frame starts from
    bool watching = false;
    bool prepared = false;       // the clock is installed
    Clock::time_point lastPass;      // the end of the previous pass
    Clock::time_point captionShown;  // when the caption last changed
    std::deque<std::pair<Clock::time_point, double>> frameTimes;  // (end, ms taken) of the last second's passes
};
