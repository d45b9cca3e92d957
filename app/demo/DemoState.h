#pragma once

#include "engine/media/Shader.h"
#include "engine/render/Font.h"
#include "engine/render/Layer.h"
#include "engine/render/ParticleEngine.h"
#include "engine/render/Vector.h"
#include "engine/scene/Player.h"

class MeshObject;

// The demo's state: the globals its set-up makes and its timeline reads and
// changes frame by frame. Only the demo's own files include this; the rest of
// the program (capture, development mode) and the tests see the state that
// carries between frames through the frame state (app/demo/FrameState.h).

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

// ---- The head effect's and the closing section's
extern MeshObject* meshObject;  // "greeble.dvm", built at start-up
extern int pax;                 // first vertex drawn by the head effect (498)
extern int pox;                 // triangles drawn by the head effect (1)
extern int headi;               // spin of the head effect, degrees
extern int kakka;               // shared: the closing section's picture and cubism's turn
extern int previousPicture;     // the calm closing's picture before kakka, faded from; -1: none (black)
