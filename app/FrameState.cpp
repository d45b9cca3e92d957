#include "app/FrameState.h"

#include "app/Demo.h"
#include "app/HeadEffects.h"

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

// Every carried variable once, paired with its field: saving and restoring
// walk the same list, so they cannot drift apart.
template <typename State, typename Visit>
void eachCarried(State& state, Visit visit) {
    visit(state.lensmove, lensmove);
    visit(state.scrollermoving, scrollermoving);
    visit(state.scrollermove, scrollermove);
    visit(state.lrand, lrand);
    visit(state.rrand, rrand);
    visit(state.trand, trand);
    visit(state.brand, brand);
    visit(state.movieTime, movieTime);
    visit(state.kakka, kakka);
    visit(state.headi, headi);
    visit(state.pox, pox);
    visit(state.pax, pax);
}

FrameState saveFrameState() {
    FrameState state;
    eachCarried(state, [](auto& kept, const auto& live) { kept = live; });
    setstate(parking);
    std::memcpy(state.random.data(), sequence, sizeof sequence);
    setstate(sequence);
    return state;
}

void restoreFrameState(const FrameState& state) {
    eachCarried(state, [](const auto& kept, auto& live) { live = kept; });
    setstate(parking);
    std::memcpy(sequence, state.random.data(), sizeof sequence);
    setstate(sequence);
}
