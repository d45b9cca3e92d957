#pragma once

#include <array>
#include <tuple>

// What one frame of the timeline hands on to the next besides the clock: the
// phases that advance a step per frame (sphere wobble, scroller, head effect),
// the random picks and the C library's random sequence they draw from. Saved
// and put back whole, it lets the development mode hold a frame still while
// drawing it again, and seek to any time by replaying the frames before it
// from the state the set-up left, exactly as --start does. It is also the
// only way from outside the demo to its state.

struct FrameState {
private:
    template <typename State>
    static auto tieCarried(State& state) {
        return std::tie(state.lensmove, state.scrollermoving, state.scrollermove, state.lrand, state.rrand,
                        state.trand, state.brand, state.movieTime, state.kakka, state.headi, state.pox, state.pax);
    }

public:
    float lensmove = 0, scrollermoving = 0, scrollermove = 0;
    float lrand = 0, rrand = 0, trand = 0, brand = 0;
    unsigned movieTime = 0;
    int kakka = 0, headi = 0, pox = 0, pax = 0;
    std::array<char, 128> random{};  // the generator's state array, position included

    // Every field equal, the random sequence at the same place.
    bool operator==(const FrameState& other) const;

    // The fields besides the random sequence, in the order of the live
    // variables they keep (FrameState.cpp).
    auto carried() { return tieCarried(*this); }
    auto carried() const { return tieCarried(*this); }
};

// Gives rand() a state array of the demo's own, seeded as the C library seeds
// its default one (the same sequence), so that it can be saved and put back.
// Call once, before anything draws from rand().
void takeOverRandomSequence();

// Both need takeOverRandomSequence() first.
FrameState saveFrameState();
void restoreFrameState(const FrameState& state);

// The platform's part of the above (FrameState_posix.cpp, _windows.cpp):
// rand()'s whole state, position included, copied out and put back.
void copyRandomSequence(std::array<char, 128>& to);
void setRandomSequence(const std::array<char, 128>& from);
