#include "engine/scene/EffectOperator.h"

#include <cstdint>

namespace tarnix {

EffectOperator::EffectOperator(unsigned start, unsigned end) : startTime(start), endTime(end) {}

EffectOperator::~EffectOperator() = default;

void EffectOperator::setTime(unsigned start, unsigned end) {
    startTime = start;
    endTime = end;
}

unsigned EffectOperator::getStartTime() const { return startTime; }

unsigned EffectOperator::getEndTime() const { return endTime; }

float EffectOperator::getTimePosition(const unsigned int& time) {
    const std::uint32_t elapsed = time - startTime;
    const std::uint32_t span = endTime - startTime;
    // A window of one instant is at its start, not 0/0.
    timePosition = span == 0 ? 0.0f : static_cast<float>(static_cast<long double>(elapsed) / span);
    return timePosition;
}

float EffectOperator::getLastTimePosition() const { return timePosition; }

}  // namespace tarnix
