#pragma once

// The picture the start-up loading pass shows after each data file.

namespace tarnix {

// Draws the loading bar for file `index` of `count` (0-based) into the back
// buffer, without presenting it: progress u = index / (count - 1) (1 for a
// single file) fills a bar in an 800 × 600 screen system, full brightness up
// to u = 0.9, fading to black at u = 1. Leaves the 3D view and white colour.
void drawLoadingBar(unsigned index, unsigned count);

}  // namespace tarnix
