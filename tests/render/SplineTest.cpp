#include "engine/render/Spline.h"

#include <gtest/gtest.h>

#include <memory>

using tarnix::Bezier;
using tarnix::Hermite;
using tarnix::Vector;

TEST(SplineTest, AStraightHermiteIsLinearInsideAndOutside) {
    Hermite line;
    line.endPoint = Vector(1, 0, 0);
    line.startTangent = Vector(1, 0, 0);
    line.endTangent = Vector(1, 0, 0);
    for (float t : {0.0f, 0.25f, 0.5f, 1.0f, 2.0f, -1.0f})
        EXPECT_TRUE(line.getVector(t) == Vector(t, 0, 0)) << t;
}

TEST(SplineTest, HermiteStartTangentAloneBulgesAnEighth) {
    Hermite bulge;
    bulge.startTangent = Vector(1, 0, 0);
    EXPECT_FLOAT_EQ(bulge.getVector(0.5f).x, 0.125f);
    EXPECT_TRUE(bulge.getVector(0.0f) == Vector(0, 0, 0));
    EXPECT_TRUE(bulge.getVector(1.0f) == Vector(0, 0, 0));
}

TEST(SplineTest, BezierMeetsItsEndsAndMidpoint) {
    std::unique_ptr<tarnix::Spline> curve = std::make_unique<Bezier>();
    Bezier& bezier = static_cast<Bezier&>(*curve);
    bezier.point0 = Vector(1, 2, 3);
    bezier.point1 = Vector(4, -2, 0);
    bezier.point2 = Vector(0, 8, 1);
    bezier.point3 = Vector(2, 2, -5);
    EXPECT_TRUE(curve->getVector(0) == bezier.point0);
    const Vector end = curve->getVector(1);
    EXPECT_FLOAT_EQ(end.x, 2);
    EXPECT_FLOAT_EQ(end.y, 2);
    EXPECT_FLOAT_EQ(end.z, -5);
    const Vector middle = curve->getVector(0.5f);
    EXPECT_FLOAT_EQ(middle.x, (1 + 3 * 4 + 3 * 0 + 2) / 8.0f);
    EXPECT_FLOAT_EQ(middle.y, (2 + 3 * -2 + 3 * 8 + 2) / 8.0f);
    EXPECT_FLOAT_EQ(middle.z, (3 + 3 * 0 + 3 * 1 - 5) / 8.0f);
    // t = 2 extrapolates: (1-t)³P0 + 3t(1-t)²P1 + 3t²(1-t)P2 + t³P3 at t = 2 for x.
    EXPECT_FLOAT_EQ(curve->getVector(2).x, -1 + 3 * 2 * 1 * 4 + 3 * 4 * -1 * 0 + 8 * 2);
}
