#pragma once

// The point-grid texture tunnel: a w × h grid of points at depth -20, each
// looking up a procedural black-and-white texture through precomputed
// distance and angle tables shifted with time.

extern int w;  // grid width in points (128)
extern int h;  // grid height in points (64)
// [distance code][angle code]: 0 (black) or 0xFFFFFF (white).
extern int texture[256][256];
// Per grid point [x][y] (x < 128, y < 64): distance code 0..255 and angle code -127..127.
extern int distanceTable[256][256];
extern int angleTable[256][256];

// Fills the texture, then the distance and angle tables (start-up, before the
// clock runs).
void buildTunnelTables();

// One frame of the tunnel, additive, under the current view. It turns with
// the demo clock (512 distance codes and 179.2 angle codes a second), so that
// a frame live is the frame a capture or --start draws at the same demo time.
void tunnelTerrorRun();
