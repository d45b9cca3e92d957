#include "app/demo/DemoRandom.h"

#include <algorithm>

namespace {

const int separation = 3;

std::int32_t next(RandomSequence& state) {
    auto& front = state.words[state.front];
    front = static_cast<std::int32_t>(static_cast<std::uint32_t>(front) +
                                      static_cast<std::uint32_t>(state.words[state.rear]));
    const auto result = static_cast<std::int32_t>(static_cast<std::uint32_t>(front) >> 1);
    state.front = static_cast<unsigned char>((state.front + 1) % RandomSequence::degree);
    state.rear = static_cast<unsigned char>((state.rear + 1) % RandomSequence::degree);
    return result;
}

// The GNU library's srandom(): a Lehmer generator (16807, modulo 2^31 - 1,
// by Schrage's method) fills the words, and ten rounds are thrown away.
void seed(RandomSequence& state, std::uint32_t value) {
    state.words[0] = static_cast<std::int32_t>(value == 0 ? 1 : value);
    for (int i = 1; i < RandomSequence::degree; ++i) {
        const std::int32_t previous = state.words[i - 1];
        std::int32_t word = 16807 * (previous % 127773) - 2836 * (previous / 127773);
        if (word < 0)
            word += 2147483647;
        state.words[i] = word;
    }
    state.front = separation;
    state.rear = 0;
    for (int i = 0; i < 10 * RandomSequence::degree; ++i)
        next(state);
}

RandomSequence seeded(std::uint32_t value) {
    RandomSequence state;
    seed(state, value);
    return state;
}

}  // namespace

bool RandomSequence::operator==(const RandomSequence& other) const {
    return std::equal(words, words + degree, other.words) && front == other.front && rear == other.rear;
}

RandomSequence& demoRandomSequence() {
    static RandomSequence sequence = seeded(1);
    return sequence;
}

int demoRandom() { return next(demoRandomSequence()); }

void seedDemoRandom(unsigned value) { seed(demoRandomSequence(), value); }
