#include "app/demo/FrameState.h"

#include "app/demo/DemoState.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// rand() draws from the generator of random(), whose state lives in the array
// last given to initstate() or setstate(). Switching arrays with setstate()
// writes the generator's position into the array left behind, so parking on
// a second array makes the first one a complete copy of the generator.
alignas(std::int32_t) char sequence[128];
alignas(std::int32_t) char parking[128];

}  // namespace

void takeOverRandomSequence() {
    initstate(1, parking, sizeof parking);
    initstate(1, sequence, sizeof sequence);  // seed 1: the state rand() has before any srand()
}

namespace {

// The live variables a frame state keeps, in the order of its carried().
auto liveCarried() {
    return std::tie(lensmove, scrollermoving, scrollermove, lrand, rrand, trand, brand, movieTime, kakka, headi, pox,
                    pax);
}

}  // namespace

bool FrameState::operator==(const FrameState& other) const {
    return carried() == other.carried() && random == other.random;
}

FrameState saveFrameState() {
    FrameState state;
    state.carried() = liveCarried();
    setstate(parking);
    std::memcpy(state.random.data(), sequence, sizeof sequence);
    setstate(sequence);
    return state;
}

void restoreFrameState(const FrameState& state) {
    liveCarried() = state.carried();
    setstate(parking);
    std::memcpy(sequence, state.random.data(), sizeof sequence);
    setstate(sequence);
}
