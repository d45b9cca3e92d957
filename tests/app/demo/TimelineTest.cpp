// The timeline's arithmetic and the demo's tables, as functions of time.

#include "app/demo/Demo.h"
#include "app/demo/DemoRandom.h"
#include "app/demo/HeadEffects.h"
#include "app/demo/Timeline.h"
#include "app/demo/Tunnel.h"
#include "engine/render/ParticleEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

TEST(TimelineTest, SectionsChangeAtTheirBounds) {
    const std::pair<unsigned, Section> bounds[] = {
        {0, Section::openingA},     {699, Section::openingA},  {700, Section::openingB},
        {5999, Section::openingB},  {6000, Section::openingC}, {6700, Section::openingC},
        {6701, Section::openingD},  {18699, Section::openingD}, {18700, Section::middle},
        {49999, Section::middle},   {50000, Section::tunnel},  {52999, Section::tunnel},
        {53000, Section::closing},  {4000000000u, Section::closing}};
    for (const auto& [t, section] : bounds)
        EXPECT_EQ(sectionAt(t), section) << t;
}

TEST(TimelineTest, NearPlanesZoomThroughTheOpening) {
    EXPECT_FLOAT_EQ(sphereNear(0), 1.0f);
    EXPECT_FLOAT_EQ(sphereNear(699), 0.8002857f);
    EXPECT_FLOAT_EQ(sphereNear(700), 0.8f);
    EXPECT_FLOAT_EQ(sphereNear(6000), 0.8f);
    EXPECT_FLOAT_EQ(sphereNear(6700), 1.0f);
    EXPECT_FLOAT_EQ(headNear(6000), 1.0f);
    EXPECT_FLOAT_EQ(headNear(6700), 0.8f);
    EXPECT_FLOAT_EQ(headNear(12000), 0.8f);
}

TEST(TimelineTest, TheBackgroundFadesInAndOut) {
    EXPECT_EQ(backgroundAlpha(18700), 0.0f);
    EXPECT_EQ(backgroundAlpha(20699), 0.0f);
    EXPECT_FLOAT_EQ(backgroundAlpha(22200), 0.5f);
    EXPECT_EQ(backgroundAlpha(23700), 1.0f);
    EXPECT_EQ(backgroundAlpha(34999), 1.0f);
    EXPECT_NEAR(backgroundAlpha(35000), 0.2222f, 1e-4f);
    EXPECT_NEAR(backgroundAlpha(45000), 0.0f, 1e-6f);
    EXPECT_LT(backgroundAlpha(49999), 0.0f);
}

TEST(TimelineTest, TheCloudGrowsFromAPointAndFadesAtTheEnd) {
    EXPECT_EQ(cloudScale(24700), 0.0f);
    EXPECT_FLOAT_EQ(cloudScale(29700), 1.0f);
    EXPECT_NEAR(cloudScale(49999), 5.06f, 0.001f);
    EXPECT_GT(cloudScale(24699), 850000.0f);  // before its start: far beyond the far plane
    EXPECT_EQ(cloudAlpha(45000), 1.0f);
    EXPECT_FLOAT_EQ(cloudAlpha(47500), 0.5f);
    EXPECT_NEAR(cloudAlpha(49999), 0.0002f, 1e-6f);
}

TEST(TimelineTest, PicksComeEveryFourHundredMilliseconds) {
    EXPECT_FALSE(pickDue(1000, 1400));
    EXPECT_TRUE(pickDue(1000, 1401));
    EXPECT_TRUE(pickDue(18699, 53000));
}

TEST(TimelineTest, TheScrollerWrapsOnceItsLastCharacterHasPassed) {
    const unsigned length = 30;
    float moved = 0;
    int frames = 0;
    EXPECT_EQ(scrollerX(moved, length), 320);
    do {
        moved += 4;
        ++frames;
    } while (scrollerX(moved, length) != 320);
    EXPECT_EQ(frames, 155);  // (10 · 30 + 320) / 4
    EXPECT_EQ(scrollerX(4, length), 316);
    EXPECT_EQ(scrollerY(0), 100);
    EXPECT_EQ(scrollerY(0.4f), 110);   // 25 tan 0.4 = 10.57, truncated
    EXPECT_EQ(scrollerY(-0.4f), 89);   // 89.43: towards zero, not down
}

TEST(HeadEffectTest, TheRevealGrowsFromOneToTheWholeMesh) {
    EXPECT_EQ(revealedTriangles(6000), 1);
    EXPECT_EQ(revealedTriangles(11000), 4297);
    EXPECT_EQ(revealedTriangles(15999), 8592);
}

TEST(HeadEffectTest, CubeWallsJoinEqualNeighbours) {
    const WallBars wall0 = barsOfWall(cubemap);
    EXPECT_EQ(wall0.horizontal, std::vector<int>({8}));
    EXPECT_EQ(wall0.vertical, std::vector<int>({9, 10, 11, 12}));
}

TEST(HeadEffectTest, TheBezierSamplerMeetsItsEnds) {
    const tarnix::Vector p0(1, 2, 3), p1(4, 4, 4), p2(-2, 0, 8), p3(5, -1, 2);
    tarnix::Vector two[2];
    CompBez(p0, p1, p2, p3, 2, two);
    EXPECT_TRUE(two[0] == p0);
    EXPECT_NEAR(two[1].x, 5, 1e-5f);
    EXPECT_NEAR(two[1].y, -1, 1e-5f);
    EXPECT_NEAR(two[1].z, 2, 1e-5f);

    tarnix::Vector line[4];
    CompBez(tarnix::Vector(0, 0, 0), tarnix::Vector(1, 2, 3), tarnix::Vector(2, 4, 6), tarnix::Vector(3, 6, 9), 4, line);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(line[i].x, i, 1e-5f);
        EXPECT_NEAR(line[i].z, 3 * i, 1e-5f);
    }

    tarnix::Vector one[1];
    CompBez(p3, p1, p2, p0, 1, one);
    EXPECT_TRUE(one[0] == p3);
}

TEST(TunnelTest, TablesHoldTheTriangleTextureAndTheCodesAroundTheCentre) {
    buildTunnelTables();
    EXPECT_EQ(texture[0][127], 0xFFFFFF);
    EXPECT_EQ(texture[127][0], 0xFFFFFF);
    EXPECT_EQ(texture[0][128], 0);
    EXPECT_EQ(texture[64][64], 0);
    EXPECT_EQ(distanceTable[64][32], 0);
    EXPECT_EQ(angleTable[64][32], 0);
    EXPECT_EQ(distanceTable[64][33], 0);  // 4096 mod 256
    EXPECT_EQ(distanceTable[0][0], 57);
    EXPECT_EQ(angleTable[64][63], 63);
    EXPECT_EQ(angleTable[0][32], 127);
    EXPECT_EQ(angleTable[64][0], -63);  // -pi/2 scaled by 128/3.1416 is -63.998, truncated towards zero
    EXPECT_EQ((angleTable[64][0] + 3) & 0xFF, 196);  // the tunnel's lookup wraps a negative sum, not clamps it
}

// Each particle's velocity is r (cos a cos b, sin a cos b, sin b) with r, a
// and b drawn from 0, 0.05 .. 4.95: its length is on the radius grid, its z
// over its length the sine of an angle on the grid, the radii fill the grid
// evenly, and the same random sequence gives the same cloud.
TEST(CloudTest, VelocitiesLieOnTheRadiusAndAngleGridAndRepeatWithTheSequence) {
    tarnix::ParticleEngine cloud(2750), again(2750);
    seedDemoRandom(1);  // the sequence's state when nothing has seeded it
    shapeCloud(cloud);
    seedDemoRandom(1);
    shapeCloud(again);
    auto onGrid = [](double value, auto map) {
        for (int k = 0; k < 100; ++k)
            if (std::fabs(map(k * 0.05) - value) < 2e-4)
                return true;
        return false;
    };
    std::vector<bool> radiusSeen(100, false);
    double radiusSum = 0;
    for (unsigned i = 0; i < cloud.getParticleSize(); ++i) {
        const tarnix::Vector& v = cloud.getParticle(i)->velocity;
        ASSERT_TRUE(v == again.getParticle(i)->velocity) << i;
        const double r = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
        const long k = std::lround(r / 0.05);
        ASSERT_NEAR(r, k * 0.05, 2e-4) << i;
        ASSERT_LE(k, 99) << i;
        radiusSeen[static_cast<std::size_t>(k)] = true;
        radiusSum += r;
        if (k > 0) {
            EXPECT_TRUE(onGrid(v.z / r, [](double b) { return std::sin(b); })) << i;
        }
    }
    EXPECT_GE(std::count(radiusSeen.begin(), radiusSeen.end(), true), 95);
    EXPECT_NEAR(radiusSum / cloud.getParticleSize(), 2.475, 0.15);  // the mean of the grid
    seedDemoRandom(2);
    shapeCloud(again);
    EXPECT_FALSE(cloud.getParticle(0)->velocity == again.getParticle(0)->velocity &&
                 cloud.getParticle(1)->velocity == again.getParticle(1)->velocity);
}
