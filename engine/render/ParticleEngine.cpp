#include "engine/render/ParticleEngine.h"

#include "engine/core/Extensions.h"
#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"

#include <algorithm>
#include <cassert>

namespace tarnix {

namespace {

const float quadScale = 0.04f;       // half-extent per unit of size
const float quadOffset = 0.4f;       // quads sit this far right of and above their particle
// Where a stop may cut a frame short: a twentieth of the cloud, some 25 ms
// of a software renderer at 1440 x 1080.
const unsigned quadsAPart = 100;

GLuint textureId(const Texture* texture) { return texture ? texture->id : 0; }

}  // namespace

ParticleEngine::ParticleEngine(unsigned count) { setParticleSize(count); }

void ParticleEngine::setParticleSize(unsigned count) {
    sorter.reset();
    particles.reset();
    particleSize = count;
    particles.reset(new Particle[count]);
    sorter = std::make_unique<Radix>(particles.get(), count);
}

unsigned ParticleEngine::getParticleSize() const { return particleSize; }

Particle* ParticleEngine::getParticle(unsigned i) {
    assert(i < particleSize);
    return &particles[i];
}

void ParticleEngine::setTexture(Texture* t) { texture = t; }

Texture* ParticleEngine::getTexture() const { return texture; }

void ParticleEngine::setSort(bool on) { sortEnabled = on; }

void ParticleEngine::setBillboardType(unsigned type) { billboardType = type; }

void ParticleEngine::setSize(float pixels) { size = pixels; }

void ParticleEngine::updateParticleEngine() {
    for (unsigned i = 0; i < particleSize; ++i)
        particles[i].position += particles[i].velocity;
}

void ParticleEngine::sortParticleEngine() {
    if (sorter)
        sorter->sort();
}

const int* ParticleEngine::getRanks() const { return sorter ? sorter->getRanks() : nullptr; }

void ParticleEngine::setRanks(const int* order) {
    if (sorter)
        sorter->setRanks(order);
}

const Vector& ParticleEngine::getRight() const { return right; }

const Vector& ParticleEngine::getUp() const { return up; }

// ---- Depth handling shared by the sorted renderers ----

void ParticleEngine::beginDepth() {
    if (sortEnabled) {
        glDepthFunc(GL_ALWAYS);
        sortParticleEngine();
    } else {
        glDisable(GL_DEPTH_TEST);
    }
}

void ParticleEngine::endDepth() {
    if (!sortEnabled)
        glEnable(GL_DEPTH_TEST);
}

// ---- Billboards ----

void ParticleEngine::renderParticleEngine(unsigned first, unsigned last) {
    if (last == 0 || last > particleSize)
        last = particleSize;
    beginDepth();
    if (billboardType <= 1) {
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview.m);
        right = Vector(modelview.m[0], modelview.m[4], modelview.m[8]);
        up = billboardType == 0 ? Vector(modelview.m[1], modelview.m[5], modelview.m[9]) : Vector(0, 1, 0);
    } else if (billboardType == 2) {
        right = Vector(1, 0, 0);
        up = Vector(0, 1, 0);
    }
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    // Additive quads need no depth of their own; not writing it saves the
    // software renderer a tenth of the cloud's time.
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, textureId(texture));
    const float k = quadScale * size;
    right *= k;
    up *= k;
    // Each quad is centred on its particle's position plus the offset, with
    // `right` and `up` as half-extents: the walk from the lower-left corner
    // takes whole sides (twice the half-extent).
    const Vector offset(quadOffset, quadOffset, 0);
    const Vector side = right * 2.0f;
    const Vector rise = up * 2.0f;
    // The heaviest draw of the demo, in parts that a stop may cut short.
    drawInParts(GL_QUADS, first, last, quadsAPart, [&](unsigned i) {
        const Particle& particle = particles[i];
        glColor4f(particle.color[0], particle.color[1], particle.color[2], particle.color[3]);
        Vector corner = offset + particle.position - right - up;
        glTexCoord2f(0, 0); glVertex3f(corner.x, corner.y, corner.z);
        corner += rise;
        glTexCoord2f(0, 1); glVertex3f(corner.x, corner.y, corner.z);
        corner += side;
        glTexCoord2f(1, 1); glVertex3f(corner.x, corner.y, corner.z);
        corner -= rise;
        glTexCoord2f(1, 0); glVertex3f(corner.x, corner.y, corner.z);
    });
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    endDepth();
}

// ---- Point sprites ----

void ParticleEngine::beginPointSprites() {
    glEnable(GL_POINT_SPRITE_ARB);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, textureId(texture));
    pointSize(size);
}

void ParticleEngine::endPointSprites() {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_POINT_SPRITE_ARB);
    glDisable(GL_BLEND);
}

void ParticleEngine::emitPoint(const Particle& particle) {
    glColor4f(particle.color[0], particle.color[1], particle.color[2], particle.color[3]);
    glVertex3f(particle.position.x, particle.position.y, particle.position.z);
}

void ParticleEngine::renderParticleEngineCondition(unsigned condition, float limit) {
    beginDepth();
    beginPointSprites();
    pointSizeLimits(1.0f, 60.0f, 60.0f);
    glTexEnvf(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, 1.0f);
    const int* order = getRanks();
    glBegin(GL_POINTS);
        for (unsigned k = 0; k < particleSize; ++k) {
            const Particle& particle = particles[order[k]];
            // A NaN depth fails both comparisons and is never drawn.
            const bool drawn = condition == 0 ? particle.position.z >= limit
                             : condition == 1 ? particle.position.z < limit : false;
            if (drawn)
                emitPoint(particle);
        }
    glEnd();
    endPointSprites();
    endDepth();
}

void ParticleEngine::pointSpriteRenderParticleEngine(unsigned first, unsigned last) {
    last = std::min(last, particleSize);
    beginPointSprites();
    glBegin(GL_POINTS);
        for (unsigned i = first; i < last; ++i)
            emitPoint(particles[i]);
    glEnd();
    endPointSprites();
}

}  // namespace tarnix
