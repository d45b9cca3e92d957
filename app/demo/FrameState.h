#pragma once

#include "app/demo/DemoRandom.h"

#include <tuple>
#include <vector>

// What one frame of the timeline hands on to the next besides the clock: the
// phases that advance a step per frame (sphere wobble, scroller, head effect),
// the random picks and the random sequence they draw from, and the order of
// the cloud's last depth sort, from which the next one starts. Saved and put back
// whole, it lets the development mode hold a frame still while drawing it
// again, and seek to any time by replaying the frames before it from the
// state the set-up left, exactly as --start does. It is also the only way
// from outside the demo to its state.

struct FrameState {
private:
    template <typename State>
    static auto tieCarried(State& state) {
        return std::tie(state.lensmove, state.scrollermoving, state.scrollermove, state.lrand, state.rrand,
                        state.trand, state.brand, state.movieTime, state.kakka, state.headi, state.pox, state.pax,
                        state.previousPicture);
    }

public:
    float lensmove = 0, scrollermoving = 0, scrollermove = 0;
    float lrand = 0, rrand = 0, trand = 0, brand = 0;
    unsigned movieTime = 0;
    int kakka = 0, headi = 0, pox = 0, pax = 0;
    int previousPicture = -1;
    RandomSequence random;  // the demo's random sequence, position included
    std::vector<int> cloudOrder;  // the cloud's last depth sort, where the next one starts

    // Every field equal, the random sequence at the same place.
    bool operator==(const FrameState& other) const;

    // The fields besides the random sequence, in the order of the live
    // variables they keep (FrameState.cpp).
    auto carried() { return tieCarried(*this); }
    auto carried() const { return tieCarried(*this); }
};

// Starts the demo's random sequence afresh, as the program starts it, so
// that a set-up made after it draws what the program's first one drew.
void takeOverRandomSequence();

FrameState saveFrameState();
void restoreFrameState(const FrameState& state);
