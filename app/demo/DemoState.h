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

// ---- The per-frame values, each a name for its field of frameValues
// (app/demo/FrameState.h), where they are described
extern unsigned& movieTime;
extern float& lensmove;
extern float& scrollermoving;
extern float& scrollermove;
extern float &lrand, &rrand, &trand, &brand;

extern int &pax, &pox, &headi, &kakka, &previousPicture;

// ---- The head effect's
extern MeshObject* meshObject;  // "greeble.dvm", built at start-up
