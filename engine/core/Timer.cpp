#include "engine/core/Timer.h"

#include "engine/core/Ticks.h"
#include "engine/media/Sound.h"

namespace tarnix {

Timer timer;

void Timer::init() { startTicks = getTicks(); }

void Timer::update() {
    delay(1);
    if (!pause)
        time = getTicks() - startTicks;
}

unsigned Timer::getTime() const { return time; }

void Timer::setTime(unsigned ms) {
    startTicks = getTicks() - ms;
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
