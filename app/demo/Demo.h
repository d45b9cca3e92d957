#pragma once

#include <string>

namespace tarnix {
class ParticleEngine;
}

// The demo: set-up, main loop and shut-down. The frame itself is draw()
// (app/demo/Timeline.h); what carries from one frame to the next is reached
// from outside only through the frame state (app/demo/FrameState.h).

// Prepares the demo after the engine's bring-up, in the fixed order: mesh,
// render target, layers, particle cloud, tunnel tables, font, player,
// scroller text, music, clock. False, after one line on standard error, when
// the engine did not come up or the demo's data is incomplete.
bool setUpDemo();
// The set-up's part over the loaded data (mesh to scroller text), which a
// copy of the demo's code built again while the program runs makes for its
// own objects; and their release (scroller text, mesh, particle clouds)
// before that copy goes. The render target is made once for all copies.
void setUpDemoObjects();
void releaseDemoObjects();

// Plays the demo live from demo time `startMs` (the music from there too)
// until the viewer asks to stop (Escape, Alt+F4, the window closed). One pass
// a frame: advance the clock, put the per-frame motions where the motion grid
// has them at that time, draw, wait until the next frame is due, take the
// events. Every frame is the frame --start draws at its time, whatever the
// frame rate; a machine that cannot keep up drops frames. Where the display
// does not pace the frames, at most `mostFramesPerSecond` are drawn.
void runMainLoop(unsigned startMs, unsigned mostFramesPerSecond);

// Releases the scroller text.
void shutDownDemo();

// Reads the scroller text "scrolleri.txt" again; false, the old text kept,
// when it does not open (one line on standard error).
bool reloadScrollerText();
// The scroller text the closing section shows now.
const std::string& scrollerTextShown();
// Reads the demo's mesh again when `name` is "greeble.dvm", rebuilt in place;
// false, the old mesh kept, for any other name or a file that does not load.
bool reloadDemoMesh(const char* name);

// Where the demo's data is: "data/" in the working directory, else the
// "data/" beside the program, which then becomes the working directory.
// False, after one line on standard error, when there is neither.
bool findDemoData();

// The cloud's shape: three draws from the demo's random sequence per particle
// (radius, two angles, each one of 0, 0.05, .. 4.95) made into its velocity.
void shapeCloud(tarnix::ParticleEngine& cloud);
