#include "app/demo/FrameState.h"

#include "app/demo/DemoState.h"

namespace {

// The live variables a frame state keeps, in the order of its carried().
auto liveCarried() {
    return std::tie(lensmove, scrollermoving, scrollermove, lrand, rrand, trand, brand, movieTime, kakka, headi, pox,
                    pax, previousPicture);
}

}  // namespace

bool FrameState::operator==(const FrameState& other) const {
    return carried() == other.carried() && random == other.random && cloudOrder == other.cloudOrder;
}

void takeOverRandomSequence() { seedDemoRandom(1); }

FrameState saveFrameState() {
    FrameState state;
    state.carried() = liveCarried();
    state.random = demoRandomSequence();
    if (sphereParticles && sphereParticles->getRanks())
        state.cloudOrder.assign(sphereParticles->getRanks(),
                                sphereParticles->getRanks() + sphereParticles->getParticleSize());
    return state;
}

void restoreFrameState(const FrameState& state) {
    liveCarried() = state.carried();
    demoRandomSequence() = state.random;
    if (sphereParticles && state.cloudOrder.size() == sphereParticles->getParticleSize())
        sphereParticles->setRanks(state.cloudOrder.data());
}
