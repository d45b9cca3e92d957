#pragma once

#include "app/demo/DemoRandom.h"

#include <tuple>
#include <vector>

// What one frame of the timeline hands on to the next besides the clock: the
// phases that advance once a step of the motion grid (sphere wobble, scroller,
// head effect), the random picks and the random sequence they draw from, and
// the order of the cloud's last depth sort, from which the next one starts.
// Saved and put back whole, it lets every frame, live or not, start from the
// state the motion grid's steps before its time left, replayed from the state
// the set-up left: a frame drawn again while paused, after a seek or at any
// frame rate is the frame --start draws. It is also the only way from outside
// the demo to its state.

// The per-frame values, live in `frameValues`: the timeline reads and
// changes them by the names the demo has always used (lensmove, kakka, ...:
// app/demo/DemoState.h), which refer into it. A value added here is saved,
// restored and compared with the rest once it is in tied() too.
struct FrameValues {
    float lensmove = 0;         // phase of the sphere's wobble
    float scrollermoving = 0;   // distance the scroller has travelled, 2D units
    float scrollermove = 0;     // phase of the scroller's wobble
    float lrand = 0.5f, rrand = 0.5f, trand = 0.5f, brand = 0.5f;  // jitter of the title's frustum, 0 .. 0.9
    unsigned movieTime = 0;     // demo time of the last random pick, ms
    int kakka = 0;              // the closing section's picture and cubism's turn
    int headi = 0;              // spin of the head effect, degrees
    int pox = 1;                // triangles drawn by the head effect
    int pax = 498;              // first vertex drawn by the head effect
    int previousPicture = -1;   // the calm closing's picture before kakka, faded from; -1: none (black)

    auto tied() const {
        return std::tie(lensmove, scrollermoving, scrollermove, lrand, rrand, trand, brand, movieTime, kakka, headi,
                        pox, pax, previousPicture);
    }
};

extern FrameValues frameValues;

// A frame state: the per-frame values, copied whole, and what lives
// elsewhere (the random sequence's place, the cloud's order).
struct FrameState : FrameValues {
    RandomSequence random;        // the demo's random sequence, position included
    std::vector<int> cloudOrder;  // the cloud's last depth sort, where the next one starts

    // Every value equal, the random sequence at the same place.
    bool operator==(const FrameState& other) const;
};

// Starts the demo's random sequence afresh, as the program starts it, so
// that a set-up made after it draws what the program's first one drew.
void takeOverRandomSequence();

FrameState saveFrameState();
void restoreFrameState(const FrameState& state);
