#include "engine/core/Timer.h"

#include "engine/core/Ticks.h"
#include "engine/media/Sound.h"

namespace tarnix {

Timer timer;

void Timer::init() {
    setTicks = getTicks();
    setValue = 0;
    restarted = true;
}

void Timer::update() {
    delay(1);
    if (pause)
        return;
    const std::uint32_t elapsed = getTicks() - setTicks;
    const std::uint32_t latency = sound.latencyMs();
    const std::uint32_t now = setValue + (elapsed > latency ? elapsed - latency : 0);
    // Compared as a signed difference, so that the wrap after 49.7 days
    // still counts as going on.
    if (restarted || static_cast<std::int32_t>(now - time) > 0)
        time = now;
    restarted = false;
}

unsigned Timer::getTime() const { return time; }

void Timer::setTime(unsigned ms) {
    setTicks = getTicks();
    setValue = ms;
    time = ms;
    restarted = true;
}

float Timer::getTimePosition(unsigned start, unsigned end) const {
    const std::uint32_t elapsed = time - start;
    const std::uint32_t span = end - start;
    return static_cast<float>(elapsed) / static_cast<float>(span);
}

void Timer::setPause(bool on) {
    sound.pause(on);
    pause = on;
}

bool Timer::isPause() const { return pause; }

}  // namespace tarnix
