#include "engine/render/Vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using tarnix::Vector;

namespace {

void expectVector(const Vector& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

}  // namespace

TEST(VectorTest, IsThreePackedFloatsSoArraysUploadAsIs) {
    Vector points[2] = {Vector(1, 2, 3), Vector(4, 5, 6)};
    const float* raw = &points[0].x;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(raw[i], float(i + 1));
}

TEST(VectorTest, NormalizeReturnsNewVectorAndLeavesObjectAlone) {
    const Vector alongX(5, 0, 0);
    expectVector(alongX.normalize(), 1, 0, 0);
    expectVector(alongX, 5, 0, 0);

    const Vector zero;
    expectVector(zero.normalize(), 0, 0, 0);

    const Vector diagonal(3, 4, 12);
    EXPECT_FLOAT_EQ(diagonal.normalize().length(), 1.0f);
}

TEST(VectorTest, CrossProductIsRightHandedWithObjectOnTheLeft) {
    const Vector x(1, 0, 0), y(0, 1, 0);
    expectVector(x.crossProduct(y), 0, 0, 1);
    expectVector(y.crossProduct(x), 0, 0, -1);
    expectVector(Vector(1, 2, 3).crossProduct(Vector(4, 5, 6)), -3, 6, -3);
}

TEST(VectorTest, SubtractionIsObjectMinusArgument) {
    expectVector(Vector(1, 2, 3) - Vector(1, 1, 1), 0, 1, 2);
    expectVector(Vector(1, 2, 3) - 1.0f, 0, 1, 2);
    expectVector(Vector(1, 2, 3) + 1.0f, 2, 3, 4);
    expectVector(Vector(2, 4, 6) / 2.0f, 1, 2, 3);
    expectVector(Vector(2, 4, 6) * 0.5f, 1, 2, 3);
}

TEST(VectorTest, CompoundOperatorsUpdateObjectButReturnCopies) {
    Vector v(1, 1, 1);
    Vector returned = (v += Vector(1, 2, 3));
    expectVector(v, 2, 3, 4);
    expectVector(returned, 2, 3, 4);

    // A second += applied to the returned copy must not reach v.
    (v += Vector(1, 1, 1)) += Vector(100, 100, 100);
    expectVector(v, 3, 4, 5);

    (v *= 2.0f) *= 10.0f;
    expectVector(v, 6, 8, 10);
    (v /= 2.0f) /= 10.0f;
    expectVector(v, 3, 4, 5);
    (v -= 1.0f) -= 10.0f;
    expectVector(v, 2, 3, 4);
    (v -= Vector(1, 1, 1)) -= Vector(9, 9, 9);
    expectVector(v, 1, 2, 3);
}

TEST(VectorTest, EqualityIsExactIeeeComparison) {
    EXPECT_TRUE(Vector(0, 0, 0) == Vector(-0.0f, 0, 0));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vector withNaN(nan, 0, 0);
    EXPECT_FALSE(withNaN == withNaN);
    EXPECT_FALSE(Vector(1, 2, 3) == Vector(1, 2, 3.0000002f));

    Vector assigned;
    assigned = 7.0f;
    expectVector(assigned, 7, 7, 7);
}

TEST(VectorTest, AngleInRadiansAndNaNForZeroVector) {
    Vector x(1, 0, 0), y(0, 1, 0), zero;
    EXPECT_EQ(x.angle(y), 1.5707964f);
    EXPECT_TRUE(std::isnan(x.angle(zero)));
}

TEST(VectorTest, NormalDistanceIsRayParameterAtPlane) {
    Vector normal(0, 1, 0), origin(0, 5, 0), down(0, -1, 0), planePoint(0, 0, 0);
    EXPECT_FLOAT_EQ(normal.normalDistance(down, origin, planePoint), 5.0f);

    Vector slanted(0, -2, 0);
    EXPECT_FLOAT_EQ(normal.normalDistance(slanted, origin, planePoint), 2.5f);

    Vector parallel(1, 0, 0);
    EXPECT_FALSE(std::isfinite(normal.normalDistance(parallel, origin, planePoint)));
}

TEST(VectorTest, LengthAndDistanceAreRoundedOnceFromDouble) {
    EXPECT_EQ(Vector(3, 4, 12).length(), 13.0f);
    EXPECT_EQ(Vector(1, 1, 1).distance(Vector(4, 5, 13)), 13.0f);
    // Squares of 1e20 overflow a float but not the double the sum is formed in.
    EXPECT_FLOAT_EQ(Vector(3e20f, 4e20f, 0).length(), 5e20f);
    EXPECT_FLOAT_EQ(Vector(1, 2, 3).dotProduct(Vector(4, 5, 6)), 32.0f);
}
