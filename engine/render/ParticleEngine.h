#pragma once

#include "engine/render/Matrix.h"
#include "engine/render/Particle.h"
#include "engine/render/Sort.h"
#include "engine/render/Vector.h"

#include <memory>

namespace tarnix {

struct Texture;

// A fixed array of particles drawn with additive blending, as camera-facing
// textured quads (billboards) or as point sprites, optionally depth-sorted by
// radix sort first (the particles never move; only the order of indices).
// Owners write particles directly through getParticle() every frame.
class ParticleEngine {
public:
    ParticleEngine() = default;
    explicit ParticleEngine(unsigned count);

    // Replaces every particle (and the sort order) by `count` new ones; the
    // settings stay.
    void setParticleSize(unsigned count);
    unsigned getParticleSize() const;
    Particle* getParticle(unsigned i);  // i below getParticleSize()
    void setTexture(Texture* t);        // not owned; none draws untextured
    Texture* getTexture() const;
    // Sort before drawing, drawing with depth function GL_ALWAYS (left so);
    // otherwise the depth test is off while drawing.
    void setSort(bool on);
    // 0: spherical billboards facing the screen; 1: upright (vertical axis
    // fixed); 2: fixed to the x and y axes.
    void setBillboardType(unsigned type);
    void setSize(float pixels);         // quads: half-extent 0.04 × size; points: size in pixels

    // position += velocity for every particle.
    void updateParticleEngine();
    void sortParticleEngine();
    const int* getRanks() const;        // the last sort's order, null without particles
    void setRanks(const int* order);    // puts back getParticleSize() entries of an order getRanks() gave

    // Billboards for particles first .. last-1 in storage order (last 0 or past
    // the end: to the end), each centred 0.4 right of and above its particle.
    // They do not write depth.
    void renderParticleEngine(unsigned first, unsigned last);
    // Point sprites in sorted order for the particles with z >= limit
    // (condition 0) or z < limit (condition 1); other conditions draw none.
    void renderParticleEngineCondition(unsigned condition, float limit);
    // Point sprites for particles first .. last-1 in storage order (last past
    // the end: to the end); no sort, no depth change.
    void pointSpriteRenderParticleEngine(unsigned first, unsigned last);

    const Vector& getRight() const;     // scaled billboard axes of the last quad render
    const Vector& getUp() const;

private:
    void beginDepth();
    void endDepth();
    void beginPointSprites();
    void endPointSprites();
    void emitPoint(const Particle& particle);

    Matrix44 modelview{0.0f};           // scratch copy for billboarding
    bool sortEnabled = true;
    unsigned particleSize = 0;
    unsigned billboardType = 0;
    float size = 30.0f;
    std::unique_ptr<Particle[]> particles;
    std::unique_ptr<Sort> sorter;
    Texture* texture = nullptr;         // not owned
    Vector right;
    Vector up;
};

}  // namespace tarnix
