#include "engine/render/Vector.h"

#include <cmath>

namespace tarnix {

namespace {

// The sum of squares and its root are taken in double and rounded once to float.
float rootOfSquares(double a, double b, double c) { return static_cast<float>(std::sqrt(a * a + b * b + c * c)); }

}  // namespace

Vector::Vector(float* p) : x(p[0]), y(p[1]), z(p[2]) {}

Vector::Vector(float xValue, float yValue, float zValue) : x(xValue), y(yValue), z(zValue) {}

float Vector::length() const { return rootOfSquares(x, y, z); }

float Vector::distance(const Vector& v) const {
    return rootOfSquares(double(x) - v.x, double(y) - v.y, double(z) - v.z);
}

float Vector::dotProduct(const Vector& v) const { return x * v.x + y * v.y + z * v.z; }

Vector Vector::crossProduct(const Vector& v) const {
    return Vector(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
}

Vector Vector::normalize() const {
    const float len = length();
    if (len == 0.0f)
        return Vector();
    return Vector(x / len, y / len, z / len);
}

float Vector::angle(Vector& v) {
    const float dot = dotProduct(v);
    const float lengths = v.length() * length();
    return static_cast<float>(std::acos(double(dot) / double(lengths)));
}

float Vector::normalDistance(Vector& direction, Vector& origin, Vector& planePoint) {
    const float numerator = dotProduct(planePoint - origin);
    return numerator / direction.dotProduct(*this);
}

bool Vector::operator==(const Vector& v) const { return x == v.x && y == v.y && z == v.z; }

void Vector::operator=(const float& s) { x = y = z = s; }

Vector Vector::operator+(const Vector& v) const { return Vector(x + v.x, y + v.y, z + v.z); }

Vector Vector::operator-(const Vector& v) const { return Vector(x - v.x, y - v.y, z - v.z); }

Vector Vector::operator+(const float& s) const { return Vector(x + s, y + s, z + s); }

Vector Vector::operator-(const float& s) const { return Vector(x - s, y - s, z - s); }

Vector Vector::operator*(const float& s) const { return Vector(x * s, y * s, z * s); }

Vector Vector::operator/(const float& s) const { return Vector(x / s, y / s, z / s); }

Vector Vector::operator+=(const Vector& v) {
    *this = *this + v;
    return *this;
}

Vector Vector::operator-=(const Vector& v) {
    *this = *this - v;
    return *this;
}

Vector Vector::operator+=(const float& s) {
    *this = *this + s;
    return *this;
}

Vector Vector::operator-=(const float& s) {
    *this = *this - s;
    return *this;
}

Vector Vector::operator*=(const float& s) {
    *this = *this * s;
    return *this;
}

Vector Vector::operator/=(const float& s) {
    *this = *this / s;
    return *this;
}

}  // namespace tarnix
