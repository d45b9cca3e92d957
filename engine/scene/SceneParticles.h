#pragma once

#include "engine/render/Layer.h"
#include "engine/render/ParticleEngine.h"
#include "engine/scene/EffectOperator.h"

#include <memory>

// A picture in two planes with glowing point sprites circling between them:
// the background "alley.png", the particles behind z = -1, the figure
// "bulbman.png", then the particles in front of z = -1. Each of the 2000
// particles turns 50 radians over the window on an ellipse centred at
// x = 0.21, z = -1 (half-axes 0.12 and 0.1) at its own height.
class SceneParticles : public tarnix::EffectOperator {
public:
    SceneParticles(unsigned start, unsigned end);

    // Textures, global point-sprite state, and the particles' heights and
    // phases: two rand() draws per particle, height first.
    void init() override;
    void render(const unsigned int& time) override;

    tarnix::ParticleEngine& getParticleEngine();

private:
    std::unique_ptr<tarnix::ParticleEngine> particleEngine;
    tarnix::Layer background;
    tarnix::Layer foreground;
};
