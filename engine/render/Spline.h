#pragma once

#include "engine/render/Vector.h"

namespace tarnix {

// One cubic curve segment in 3D, evaluated at a parameter t (not clamped:
// values outside 0..1 extrapolate the cubic).
class Spline {
public:
    virtual ~Spline() = 0;
    virtual Vector getVector(float t) = 0;
};

// From startPoint (t = 0) to endPoint (t = 1) with the given derivatives there.
class Hermite : public Spline {
public:
    Vector startPoint;
    Vector endPoint;
    Vector startTangent;
    Vector endTangent;

    Vector getVector(float t) override;
};

// The cubic Bernstein curve of four control points: point0 at t = 0, point3 at t = 1.
class Bezier : public Spline {
public:
    Vector point0;
    Vector point1;
    Vector point2;
    Vector point3;

    Vector getVector(float t) override;
};

}  // namespace tarnix
