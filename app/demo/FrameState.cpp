#include "app/demo/FrameState.h"

#include "app/demo/DemoState.h"

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
    copyRandomSequence(state.random);
    return state;
}

void restoreFrameState(const FrameState& state) {
    liveCarried() = state.carried();
    setRandomSequence(state.random);
}
