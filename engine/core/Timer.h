#pragma once

#include <cstdint>

namespace tarnix {

// The demo clock: milliseconds since init(), advanced only by update() so that
// every reader sees one value per frame.
class Timer {
public:
    // Starts the clock: the tick count now becomes demo time 0. The current
    // time is left as it is until the next update().
    void init();
    // Sleeps 1 ms, then, unless paused, takes time = ticks - startTicks (unsigned,
    // so it wraps with the tick count after about 49.7 days).
    void update();
    // Demo time as of the last update(), ms.
    unsigned getTime() const;
    // Moves the clock so that the demo time is `ms` now (and stays counting
    // from there): the start of a demo played from a later point.
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
    std::uint32_t startTicks = 0;  // tick count at init(), ms
    std::uint32_t time = 0;        // demo time as of the last update(), ms
    bool pause = false;
};

extern Timer timer;

}  // namespace tarnix
