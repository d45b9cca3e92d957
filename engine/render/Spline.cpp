#include "engine/render/Spline.h"

namespace tarnix {

// Sums are formed in extended precision and each component rounded to float
// once, on storing.
using Extended = long double;

Spline::~Spline() = default;

Vector Hermite::getVector(float t) {
    const Extended t1 = t;
    const Extended t2 = t1 * t1;
    const Extended t3 = t1 * t2;
    const Extended h00 = 2 * t3 - 3 * t2 + 1;
    const Extended h01 = 3 * t2 - 2 * t3;
    const Extended h10 = t3 - 2 * t2 + t1;
    const Extended h11 = t3 - t2;
    Vector result;
    result.x = static_cast<float>(h01 * endPoint.x + h00 * startPoint.x + h10 * startTangent.x + h11 * endTangent.x);
    result.y = static_cast<float>(h01 * endPoint.y + h00 * startPoint.y + h10 * startTangent.y + h11 * endTangent.y);
    result.z = static_cast<float>(h11 * endTangent.z + (h10 * startTangent.z + (h01 * endPoint.z + h00 * startPoint.z)));
    return result;
}

namespace {

// The power form of the Bernstein cubic: c t + b t² + a t³ + p0.
float bezierComponent(float p0, float p1, float p2, float p3, float t) {
    const Extended c = 3 * (Extended(p1) - p0);
    const float b = static_cast<float>(3 * (Extended(p2) - p1) - c);
    const Extended a = Extended(p3) - p0 - c - b;
    const float t2 = static_cast<float>(Extended(t) * t);
    const float t3 = static_cast<float>(Extended(t) * t * t);
    return static_cast<float>((c * t + (Extended(b) * t2 + a * t3)) + p0);
}

}  // namespace

Vector Bezier::getVector(float t) {
    return Vector(bezierComponent(point0.x, point1.x, point2.x, point3.x, t),
                  bezierComponent(point0.y, point1.y, point2.y, point3.y, t),
                  bezierComponent(point0.z, point1.z, point2.z, point3.z, t));
}

}  // namespace tarnix
