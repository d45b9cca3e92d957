#pragma once

#include <array>

// What one frame of the timeline hands on to the next besides the clock: the
// phases that advance a step per frame (sphere wobble, scroller, head effect),
// the random picks and the C library's random sequence they draw from. Saved
// and put back whole, it lets the development mode hold a frame still while
// drawing it again, and seek to any time by replaying the frames before it
// from the state the set-up left, exactly as --start does.

struct FrameState {
    float lensmove = 0, scrollermoving = 0, scrollermove = 0;
    float lrand = 0, rrand = 0, trand = 0, brand = 0;
    unsigned movieTime = 0;
    int kakka = 0, headi = 0, pox = 0, pax = 0;
    std::array<char, 128> random{};  // the generator's state array, position included
};

// Gives rand() a state array of the demo's own, seeded as the C library seeds
// its default one (the same sequence), so that it can be saved and put back.
// Call once, before anything draws from rand().
void takeOverRandomSequence();

// Both need takeOverRandomSequence() first.
FrameState saveFrameState();
void restoreFrameState(const FrameState& state);
