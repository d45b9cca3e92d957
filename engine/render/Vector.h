#pragma once

#include <type_traits>

namespace tarnix {

// A point, direction or normal: three floats and nothing else (12 bytes, so an
// array of vectors is a packed run of float triples OpenGL can take as is).
//
// Conventions callers rely on: normalize() and the binary operators return new
// values and leave the object alone; the compound operators update the object
// but return a copy, not a reference; equality is exact IEEE comparison.
class Vector {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vector() = default;
    Vector(const Vector&) = default;
    explicit Vector(float* p);  // copies p[0], p[1], p[2]
    Vector(float x, float y, float z);

    float length() const;
    float distance(const Vector& v) const;
    float dotProduct(const Vector& v) const;
    // Right-handed: this × v, the object on the left.
    Vector crossProduct(const Vector& v) const;
    // Unit vector in this direction; (0, 0, 0) when the length is exactly 0.
    Vector normalize() const;
    // Angle to v in radians; NaN for a zero vector (the cosine is not clamped).
    float angle(Vector& v);
    // With this vector as a plane normal: the parameter t at which the ray
    // origin + t·direction meets the plane through planePoint. A ray parallel
    // to the plane gives an infinite or NaN result.
    float normalDistance(Vector& direction, Vector& origin, Vector& planePoint);

    bool operator==(const Vector& v) const;
    Vector& operator=(const Vector&) = default;
    void operator=(const float& s);  // all three components = s

    Vector operator+(const Vector& v) const;
    Vector operator-(const Vector& v) const;
    Vector operator+(const float& s) const;
    Vector operator-(const float& s) const;
    Vector operator*(const float& s) const;
    Vector operator/(const float& s) const;  // a division, not a product with 1/s

    Vector operator+=(const Vector& v);
    Vector operator-=(const Vector& v);
    Vector operator+=(const float& s);
    Vector operator-=(const float& s);
    Vector operator*=(const float& s);
    Vector operator/=(const float& s);
};

static_assert(sizeof(Vector) == 12, "Vector must stay three packed floats");
static_assert(std::is_trivially_copyable<Vector>::value, "Vector is copied around as plain data");

}  // namespace tarnix
