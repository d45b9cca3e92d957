#pragma once

#include <cstdint>

namespace tarnix {

// The demo clock: milliseconds since init(), advanced only by update() so that
// every reader sees one value per frame.
//
// Live, the music started with the clock reaches the viewer only once the
// sound device has played what it already holds: the clock waits that long
// (the sound's latencyMs(), 0 while no device is open) before it counts, so
// the picture shows demo time t while the music heard is at t.
class Timer {
public:
    // Starts the clock: the tick count now becomes demo time 0 (counting once
    // the sound's latency has passed). The current time is left as it is
    // until the next update().
    void init();
    // Sleeps 1 ms, then, unless paused, takes time = the time set + the ticks
    // since it was set, less the sound's latency (0 until that has passed;
    // unsigned, so it wraps with the tick count after about 49.7 days). The
    // time never steps back between two updates: a tick source that does (a
    // page's clock handed over to its sound's) holds it until it is passed;
    // only init() and setTime() move it back.
    void update();
    // Demo time as of the last update(), ms.
    unsigned getTime() const;
    // Moves the clock so that the demo time is `ms` now (and stays counting
    // from there, once the sound's latency has passed): the start of a demo
    // played from a later point, with its music started from there.
    void setTime(unsigned ms);
    // (time - start) / (end - start): both differences unsigned 32-bit, the
    // division in floating point. A time before start gives a huge positive
    // value, start == end divides by zero.
    float getTimePosition(unsigned start, unsigned end) const;
    // Pauses or resumes the music with the clock. The time base is not shifted:
    // after a pause the clock jumps forward by its length.
    void setPause(bool on);
    bool isPause() const;

private:
    std::uint32_t setTicks = 0;  // tick count at the last init() or setTime(), ms
    std::uint32_t setValue = 0;  // demo time set then, ms
    std::uint32_t time = 0;      // demo time as of the last update(), ms
    bool restarted = false;      // init() or setTime() since the last update(): any time goes
    bool pause = false;
};

extern Timer timer;

}  // namespace tarnix
