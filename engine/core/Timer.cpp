#include "engine/core/Timer.h"

#include "engine/core/Ticks.h"
#include "engine/media/Sound.h"

namespace tarnix {

Timer timer;

void Timer::init() {
    setTicks = getTicks();
    setValue = 0;
}

void Timer::update() {
    delay(1);
    if (pause)
        return;
    const std::uint32_t elapsed = getTicks() - setTicks;
    const std::uint32_t latency = sound.latencyMs();
    time = setValue + (elapsed > latency ? elapsed - latency : 0);
}

unsigned Timer::getTime() const { return time; }

void Timer::setTime(unsigned ms) {
    setTicks = getTicks();
    setValue = ms;
    time = ms;
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
