#pragma once

#include "engine/render/Vector.h"

#include <vector>

// The demo's small effects besides the tunnel: the head effect of the
// opening (the mesh as a thick black outline under its filled self, revealed
// triangle by triangle from 6 s to 16 s, then spinning), a wall of cubes, and
// a Bezier curve sampler.

extern const char* cubemap;  // cube-wall digits, 16 per wall

// The wireframe pass: reads the demo clock, updates pax, pox and headi.
void head();
// What head() changes besides the picture, for demo time t (ms): the
// counters of the reveal and the spin.
void advanceHead(unsigned t);
// The filled pass over it.
void head2();
// The unit cube (0, 0, 0) .. (1, 1, 1): six quads, 24 vertices.
void cube();
// Four walls of 4 × 4 cubes, neighbours with the same cubemap digit joined.
void cubism();
// `count` points of the cubic Bezier curve p0 .. p3 into out[0 .. count-1].
void CompBez(tarnix::Vector p0, tarnix::Vector p1, tarnix::Vector p2, tarnix::Vector p3, int count,
             tarnix::Vector* out);

// pox for demo time t (ms) before the spin starts: 1 at 6000 up to 8592 at 15999.
int revealedTriangles(unsigned t);

// The bars of one cube wall of 16 cells (4 × 4, cell 0 at the top left): a
// vertical bar joins cell k to the cell above it, a horizontal bar joins it to
// the cell on its right, where the two carry the same digit.
struct WallBars {
    std::vector<int> vertical;    // cells k joined to cell k - 4
    std::vector<int> horizontal;  // cells k joined to cell k + 1
};
WallBars barsOfWall(const char* digits);
