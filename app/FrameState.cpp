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

FrameState saveFrameState() {
    FrameState state;
    state.lensmove = lensmove;
    state.scrollermoving = scrollermoving;
    state.scrollermove = scrollermove;
    state.lrand = lrand;
    state.rrand = rrand;
    state.trand = trand;
    state.brand = brand;
    state.movieTime = movieTime;
    state.kakka = kakka;
    state.headi = headi;
    state.pox = pox;
    state.pax = pax;
    setstate(parking);
    std::memcpy(state.random.data(), sequence, sizeof sequence);
    setstate(sequence);
    return state;
}

void restoreFrameState(const FrameState& state) {
    lensmove = state.lensmove;
    scrollermoving = state.scrollermoving;
    scrollermove = state.scrollermove;
    lrand = state.lrand;
    rrand = state.rrand;
    trand = state.trand;
    brand = state.brand;
    movieTime = state.movieTime;
    kakka = state.kakka;
    headi = state.headi;
    pox = state.pox;
    pax = state.pax;
    setstate(parking);
    std::memcpy(sequence, state.random.data(), sizeof sequence);
    setstate(sequence);
}
