#pragma once

#include "engine/render/Vector.h"

namespace tarnix {

// One particle record. The engine reads colour and position (whose z is the
// depth-sort key) and adds velocity in updates; the rest is its owner's.
struct Particle {
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // r, g, b, a
    Vector position;
    Vector velocity;
    Vector extra;
    float phase = 1.0f;   // the particle scene keeps a per-particle phase here
    float spareA = 0.0f;
    float spareB = 1.0f;
};

}  // namespace tarnix
