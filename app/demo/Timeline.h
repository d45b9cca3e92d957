#pragma once

#include "app/demo/FrameState.h"

#include <cstdint>

// The demo's hard-coded timeline: draw() renders the section the demo time t
// (ms) falls into. The arithmetic of each section is kept in functions of t
// of its own.

enum class Section {
    openingA,  // 0 - 699: title, sphere zooming out
    openingB,  // 700 - 5999: title, sphere
    openingC,  // 6000 - 6700: title, sphere zooming in, head effect zooming out
    openingD,  // 6701 - 18699: title and head effect through a jittering frustum
    middle,    // 18700 - 49999: fading background, growing particle cloud
    tunnel,    // 50000 - 52999: the tunnel alone
    closing,   // from 53000: random pictures, tunnel, scroller
};

Section sectionAt(unsigned t);
// "opening A" .. "opening D", "middle", "tunnel", "closing".
const char* sectionName(Section section);
// The near plane of the sphere's projection (openings A to C).
float sphereNear(unsigned t);
// The near plane of the head effect's projection (openings C and D).
float headNear(unsigned t);
// The middle section's background alpha (negative after 45000 ms).
float backgroundAlpha(unsigned t);
// The factor from the cloud particles' velocities to their positions:
// ((t - 24700) mod 2^32) / 5000.
float cloudScale(unsigned t);
// The cloud's alpha after 45000 ms.
float cloudAlpha(unsigned t);
// A random pick is due when movieTime + 400 < t (unsigned).
bool pickDue(unsigned lastPick, unsigned t);
// Where the scroller starts, in the 320 × 240 view, for a text of `length`
// characters after `moved` units of travel and a wobble phase.
int scrollerX(float moved, unsigned length);
int scrollerY(float phase, float wobble = 25, float height = 100);

// ---- Frames

// The calm demo (--calm): the title's frustum jumps less often, the opening
// fades to black before its cut, and the closing section's pictures change
// less often, fade into each other and are dimmed, so that every whole-screen
// change stays under the common photosensitivity threshold.
void setCalm(bool calm);
bool isCalm();

// One frame of the demo at the demo clock's time.
void draw();

// Makes every change but the picture that draw() would make at demo time t:
// the random picks (the same draws from the demo's random sequence), the
// per-frame phases of the sphere and the scroller, the head effect's
// counters, the cloud's depth order. The motion grid passes over the steps
// before a frame's time with this.
void skipFrame(unsigned t);

// The demo time of frame k at `fps` frames a second from `startMs`, ms;
// 64 bits, so that it never wraps back below a 32-bit start or end time.
std::uint64_t frameTime(unsigned startMs, unsigned fps, unsigned long k);

// ---- The motion grid

// The per-frame motions (the sphere's wobble, the scroller, the head's spin
// and reveal) advance by a fixed step a frame, as the demo was made for a
// display of 60 frames a second. Every frame, live or captured, from --start
// or the development mode, follows a fixed grid instead of the frames drawn:
// step k at floor(k · 1000 / 60) ms. A frame at demo time t carries what
// every step before t left, so it is the same picture at any frame rate, and
// exactly 60 frames a second show what one frame a step always showed.
inline constexpr unsigned motionStepsPerSecond = 60;

// The per-frame state for frames drawn at any times in increasing order: for
// each, the state after the grid's steps before its time, whatever the frames
// drawn before it changed. Needs takeOverRandomSequence() before the set-up.
class MotionGrid {
public:
    // From the state the demo is in now (the set-up's).
    MotionGrid();
    // Puts the demo in the state for a frame at `t` (no earlier than the
    // last call's), ready for draw().
    void prepare(unsigned t);

private:
    FrameState state;          // after the steps before `next`
    unsigned long next = 0;    // the first step not taken
};
