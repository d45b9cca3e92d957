#pragma once

// The demo itself: set-up, main loop and one frame of the timeline.

// Brings the engine up and prepares the demo's resources; false when the
// window could not be opened (already reported).
bool setUpDemo();

// One pass per frame: draw, sleep 15 ms, advance the clock, take one event.
// Returns once Escape has been pressed.
void runMainLoop();

// One frame of the demo.
void draw();
