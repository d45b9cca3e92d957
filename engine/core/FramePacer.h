#pragma once

#include <chrono>
#include <cstdio>

namespace tarnix {

// Paces a loop that shows frames in real time (the demo, the development
// mode), in place of a fixed sleep. Where presenting a frame waits for the
// display's refresh (a swap interval) or the host calls each frame itself
// (a browser), the frames come at the display's rate and the pacer only keeps
// a loop whose presenting does not really wait from spinning. Elsewhere it
// holds the frames to at most `framesPerSecond`. Its schedule never catches up:
// a frame presented after its time is followed at once, and the schedule goes
// on from it, so a slow machine drops frames and never stalls, and nothing
// runs faster afterwards. It sleeps in real time, whatever clock the engine's
// ticks come from.
//
// With TARNIX_FRAME_LOG=FILE in the environment, each presented frame appends
// one line to FILE: its demo time in ms, a space, and the steady clock's time
// in ms (three decimals), for measuring the pacing from outside.
class FramePacer {
public:
    explicit FramePacer(unsigned framesPerSecond);
    ~FramePacer();
    FramePacer(const FramePacer&) = delete;
    FramePacer& operator=(const FramePacer&) = delete;

    // After the frame of demo time `demoMs` (ms) has been presented: logs it
    // and waits until the next frame is due.
    void framePresented(unsigned demoMs);
    // The shortest time between two frames it keeps to, ms.
    double intervalMs() const;

private:
    using Clock = std::chrono::steady_clock;

    Clock::duration interval{};
    Clock::time_point due;    // when the next frame may start: the last one's, one interval on
    bool scheduled = false;   // `due` holds a time
    std::FILE* log = nullptr;  // the frame log, owned
};

}  // namespace tarnix
