#pragma once

#include "engine/media/Shader.h"
#include "engine/render/Font.h"
#include "engine/render/Layer.h"
#include "engine/render/ParticleEngine.h"
#include "engine/render/Vector.h"
#include "engine/scene/Player.h"

// The demo: its globals, set-up, main loop and shut-down. The frame itself is
// draw() (app/Timeline.h).

// ---- Global objects, constructed before the program starts, in this order
extern tarnix::Font font;                  // the scroller's font
extern tarnix::Shader testShader;          // constructed only
extern tarnix::Layer layer, layer_bulbman, layer_bulbman_suitcase;  // constructed only
extern tarnix::Layer woman;                // the closing section's full-screen picture
extern tarnix::Layer transparency;         // constructed only
extern tarnix::Layer rtt_layer;            // holds the texture "rtt"; never drawn
extern tarnix::Layer rtt_layer2;           // constructed only
extern tarnix::Layer mutsis;               // the title picture, projected in the opening
extern tarnix::Layer fatsis;               // the middle section's background
extern tarnix::Layer top;                  // constructed only
extern tarnix::Player player;              // 30000 ms, initialised, never rendered
extern tarnix::Vector inanimateCoord[200]; // constructed only

// ---- Plain globals
extern tarnix::ParticleEngine* sphereParticles;    // the middle section's cloud
extern tarnix::ParticleEngine* ttsphereParticles;  // w × h particles, created, never drawn
extern const char* scroller;                       // the scroller text
extern unsigned movieTime;                         // demo time of the last random pick, ms
extern float lensmove;                             // phase of the sphere's wobble
extern float scrollermoving;                       // distance the scroller has travelled, 2D units
extern float scrollermove;                         // phase of the scroller's wobble
extern float lrand, rrand, trand, brand;           // jitter of the title's frustum, 0 .. 0.9

// Prepares the demo after the engine's bring-up, in the fixed order: mesh,
// render target, layers, particle cloud, tunnel tables, font, player,
// scroller text, music, clock. False, after one line on standard error, when
// the engine did not come up or the demo's data is incomplete.
bool setUpDemo();

// One pass per frame: draw, sleep 15 ms, advance the clock, take one event.
// Returns once Escape has been pressed.
void runMainLoop();

// Releases the scroller text.
void shutDownDemo();

// Reads the scroller text "scrolleri.txt" again; false, the old text kept,
// when it does not open (one line on standard error).
bool reloadScrollerText();

// Continues the demo from demo time `ms` as if every frame before it had been
// drawn at `fps` frames a second, the music from the same point.
void startAt(unsigned ms, unsigned fps);

// Where the demo's data is: "data/" in the working directory, else the
// "data/" beside the program, which then becomes the working directory.
// False, after one line on standard error, when there is neither.
bool findDemoData();

// The cloud's shape: three rand() draws per particle (radius, two angles, each
// one of 0, 0.05, .. 4.95) made into its velocity.
void shapeCloud(tarnix::ParticleEngine& cloud);
