#include "engine/scene/SceneParticles.h"

#include "engine/core/Extensions.h"
#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"

#include <cmath>
#include <cstdlib>

namespace {

const unsigned particleCount = 2000;
const float depthLimit = -1.0f;  // the figure's plane

}  // namespace

SceneParticles::SceneParticles(unsigned start, unsigned end)
    : EffectOperator(start, end), particleEngine(std::make_unique<tarnix::ParticleEngine>(particleCount)) {}

tarnix::ParticleEngine& SceneParticles::getParticleEngine() { return *particleEngine; }

void SceneParticles::init() {
    using namespace tarnix;
    background.setTexture(image.getTexture("alley.png"));
    background.setAlpha(0.8f);
    foreground.setTexture(image.getTexture("bulbman.png"));
    foreground.setPosition(640.0f, 140.0f);
    particleEngine->setTexture(image.getTexture("particle3.png"));

    const GLfloat attenuation[] = {1.0f, 0.0f, 0.01f};  // constant, linear, quadratic
    if (glPointParameterfvARB && glPointParameterfARB) {
        glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
        pointSizeLimits(1.0f, 60.0f, 60.0f);
    }
    glTexEnvf(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, 1.0f);

    for (unsigned i = 0; i < particleCount; ++i) {
        Particle& particle = *particleEngine->getParticle(i);
        particle.position.y = static_cast<float>(std::rand() % 20) / 100.0f - 0.1f;
        particle.phase = static_cast<float>(std::rand() % 100) / 10.0f;
    }
}

void SceneParticles::render(const unsigned int& time) {
    const float p = getTimePosition(time);
    background.drawLayer2D();
    for (unsigned i = 0; i < particleCount; ++i) {
        tarnix::Particle& particle = *particleEngine->getParticle(i);
        const float angle = p * 50.0f + particle.phase;
        particle.position.z = static_cast<float>(std::cos(angle) * 0.1 - 1.0);
        particle.position.x = static_cast<float>(std::sin(angle) * -0.12 + 0.21);
    }
    particleEngine->renderParticleEngineCondition(1, depthLimit);  // behind the figure
    foreground.drawLayer2D();
    particleEngine->renderParticleEngineCondition(0, depthLimit);  // in front of it
}
