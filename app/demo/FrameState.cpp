#include "app/demo/FrameState.h"

#include "app/demo/DemoState.h"

FrameValues frameValues;

bool FrameState::operator==(const FrameState& other) const {
    return tied() == other.tied() && random == other.random && cloudOrder == other.cloudOrder;
}

void takeOverRandomSequence() { seedDemoRandom(1); }

FrameState saveFrameState() {
    FrameState state;
    static_cast<FrameValues&>(state) = frameValues;
    state.random = demoRandomSequence();
    if (sphereParticles && sphereParticles->getRanks())
        state.cloudOrder.assign(sphereParticles->getRanks(),
                                sphereParticles->getRanks() + sphereParticles->getParticleSize());
    return state;
}

void restoreFrameState(const FrameState& state) {
    frameValues = state;  // the values alone
    demoRandomSequence() = state.random;
    if (sphereParticles && state.cloudOrder.size() == sphereParticles->getParticleSize())
        sphereParticles->setRanks(state.cloudOrder.data());
}
