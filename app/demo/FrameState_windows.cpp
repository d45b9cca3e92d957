#include "app/demo/FrameState.h"

#include <cstdint>
#include <cstring>

// The demo's picks come from rand(), and the Linux build's frames from the
// sequence of the GNU C library's rand(). Windows' rand() is another
// generator, so this program brings its own rand(), the GNU one: the additive
// feedback generator of degree 31 (r[i] = r[i-3] + r[i-31], the top 31 bits
// given out), seeded as the GNU library seeds it. Defined here, it takes the
// place of the C runtime's for the whole program: the engine's draws too.

namespace {

const int degree = 31;
const int separation = 3;

// Laid out in the 128 bytes a FrameState keeps: the words, then where the
// next draw reads.
struct Generator {
    std::int32_t words[degree];
    unsigned char front;  // r[i-3]
    unsigned char rear;   // r[i-31]
};
static_assert(sizeof(Generator) <= sizeof(FrameState::random));

Generator generator;

std::int32_t next(Generator& state) {
    auto& front = state.words[state.front];
    front = static_cast<std::int32_t>(static_cast<std::uint32_t>(front) +
                                      static_cast<std::uint32_t>(state.words[state.rear]));
    const auto result = static_cast<std::int32_t>(static_cast<std::uint32_t>(front) >> 1);
    state.front = static_cast<unsigned char>((state.front + 1) % degree);
    state.rear = static_cast<unsigned char>((state.rear + 1) % degree);
    return result;
}

// The GNU library's srandom(): a Lehmer generator (16807, modulo 2^31 - 1,
// by Schrage's method) fills the words, and ten rounds are thrown away.
void seed(Generator& state, std::uint32_t value) {
    state.words[0] = static_cast<std::int32_t>(value == 0 ? 1 : value);
    for (int i = 1; i < degree; ++i) {
        const std::int32_t previous = state.words[i - 1];
        std::int32_t word = 16807 * (previous % 127773) - 2836 * (previous / 127773);
        if (word < 0)
            word += 2147483647;
        state.words[i] = word;
    }
    state.front = separation;
    state.rear = 0;
    for (int i = 0; i < 10 * degree; ++i)
        next(state);
}

struct SeededAtStart {
    SeededAtStart() { seed(generator, 1); }
} seededAtStart;

}  // namespace

extern "C" int rand(void) { return next(generator); }

extern "C" void srand(unsigned value) { seed(generator, value); }

void takeOverRandomSequence() { seed(generator, 1); }

void copyRandomSequence(std::array<char, 128>& to) {
    to.fill(0);
    std::memcpy(to.data(), &generator, sizeof generator);
}

void setRandomSequence(const std::array<char, 128>& from) { std::memcpy(&generator, from.data(), sizeof generator); }
