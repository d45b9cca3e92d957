#include "engine/render/ParticleEngine.h"

#include "engine/core/Graphics.h"
#include "support/GlState.h"
#include "support/GlTextures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace testsupport;
using tarnix::ParticleEngine;
using tarnix::Vector;

namespace {

// Draws in the 2D view of a 64 × 48 system: 10 pixels a unit, depths between
// 0 and -1 (the view's near and far planes).
class ParticleEngineTest : public testing::Test {
protected:
    void SetUp() override {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor4f(1, 1, 1, 1);
        tarnix::viewReset();
        texture = solidTexture(1, 1, opaqueWhite);
        tarnix::perspective2D(64, 48);
    }
    void TearDown() override {
        tarnix::perspective3D();
        glDepthFunc(GL_LESS);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    unsigned char redAt(float x, float y) {
        glFinish();
        return pixelAt(static_cast<int>(x * 10), static_cast<int>(y * 10))[0];
    }

    tarnix::Texture texture;
};

}  // namespace

TEST_F(ParticleEngineTest, FixedBillboardsSpanTheirSizeAroundAnOffsetCentre) {
    ParticleEngine engine(1);
    engine.setTexture(&texture);
    engine.setBillboardType(2);
    engine.setSize(30);  // half-extent 1.2
    engine.getParticle(0)->position = Vector(20, 20, -0.5f);
    engine.renderParticleEngine(0, 0);
    // Centred at (20.4, 20.4): x and y from 19.2 to 21.6.
    EXPECT_EQ(redAt(19.3f, 19.3f), 255);
    EXPECT_EQ(redAt(21.5f, 21.5f), 255);
    EXPECT_EQ(redAt(19.0f, 20.4f), 0);
    EXPECT_EQ(redAt(21.8f, 20.4f), 0);
    EXPECT_FLOAT_EQ(engine.getRight().x, 1.2f);
    EXPECT_FLOAT_EQ(engine.getUp().y, 1.2f);
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(depthFunction, GL_ALWAYS);  // sorting on: left so
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(ParticleEngineTest, RangesDrawInStorageOrderAndStopAtTheEnd) {
    ParticleEngine engine(12);
    engine.setTexture(&texture);
    engine.setBillboardType(2);
    engine.setSize(5);  // half-extent 0.2: small squares, one per unit of x
    for (unsigned i = 0; i < 12; ++i)
        engine.getParticle(i)->position = Vector(2.0f + 4 * i, 10, -0.05f * float(i + 1));
    auto lit = [&](unsigned i) { return redAt(2.4f + 4 * i, 10.4f) == 255; };

    engine.renderParticleEngine(5, 10);
    for (unsigned i = 0; i < 12; ++i)
        EXPECT_EQ(lit(i), i >= 5 && i < 10) << i;

    glClear(GL_COLOR_BUFFER_BIT);
    engine.renderParticleEngine(10, 500);  // past the end: to the end
    for (unsigned i = 0; i < 12; ++i)
        EXPECT_EQ(lit(i), i >= 10) << i;

    glClear(GL_COLOR_BUFFER_BIT);
    engine.setSort(false);
    engine.renderParticleEngine(0, 0);
    for (unsigned i = 0; i < 12; ++i)
        EXPECT_TRUE(lit(i)) << i;
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));  // without sorting the engine switches it back on
}

TEST_F(ParticleEngineTest, SphericalBillboardsFaceTheScreen) {
    ParticleEngine engine(1);
    engine.setTexture(&texture);
    glRotatef(90, 0, 1, 0);  // object space turned: its z axis now points along the screen's x
    engine.renderParticleEngine(0, 0);
    // The screen's x axis in object space is (0, 0, -1) after the turn.
    EXPECT_NEAR(engine.getRight().x, 0.0f, 1e-6f);
    EXPECT_NEAR(engine.getRight().z, 1.2f, 1e-6f);
    EXPECT_NEAR(engine.getUp().y, 1.2f, 1e-6f);

    engine.setBillboardType(1);
    engine.renderParticleEngine(0, 0);
    EXPECT_FLOAT_EQ(engine.getUp().y, 1.2f);
    EXPECT_FLOAT_EQ(engine.getUp().x, 0.0f);
}

TEST_F(ParticleEngineTest, TheTwoConditionsDrawEveryParticleWithADepthExactlyOnce) {
    const unsigned count = 10;
    ParticleEngine engine(count);
    engine.setTexture(&texture);
    engine.setSize(6);
    for (unsigned i = 0; i < count; ++i) {
        tarnix::Particle& particle = *engine.getParticle(i);
        particle.position = Vector(3.0f + 6 * i, 24, i % 3 == 0 ? -1.0f : i % 3 == 1 ? -0.5f : -0.9f);
        particle.color[0] = 0.25f;
        particle.color[1] = particle.color[2] = 0.0f;
    }
    engine.getParticle(9)->position.z = std::numeric_limits<float>::quiet_NaN();
    engine.renderParticleEngineCondition(1, -0.9f);
    engine.renderParticleEngineCondition(0, -0.9f);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned char red = redAt(3.0f + 6 * i, 24);
        if (i == 9)
            EXPECT_EQ(red, 0) << "a NaN depth is never drawn";
        else
            EXPECT_NEAR(red, 64, 1) << "particle " << i << " drawn once";
    }
    EXPECT_FALSE(glIsEnabled(GL_POINT_SPRITE_ARB));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(ParticleEngineTest, OtherConditionsDrawNothingButSetThePointState) {
    ParticleEngine engine(3);
    engine.setTexture(&texture);
    engine.setSize(20);
    engine.renderParticleEngineCondition(2, 0);
    EXPECT_EQ(redAt(0.1f, 0.1f), 0);
    GLfloat pointSize = 0;
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    EXPECT_EQ(pointSize, 20.0f);
    GLint replace = 0;
    glGetTexEnviv(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, &replace);
    EXPECT_EQ(replace, GL_TRUE);
}

TEST_F(ParticleEngineTest, PlainPointSpritesTakeTheRangeLiterallyAndStopAtTheEnd) {
    ParticleEngine engine(4);
    engine.setTexture(&texture);
    engine.setSize(6);
    for (unsigned i = 0; i < 4; ++i)
        engine.getParticle(i)->position = Vector(5.0f + 10 * i, 5, -0.5f);
    engine.pointSpriteRenderParticleEngine(0, 0);
    EXPECT_EQ(redAt(5, 5), 0);
    engine.pointSpriteRenderParticleEngine(2, 400);
    EXPECT_EQ(redAt(5, 5), 0);
    EXPECT_EQ(redAt(25, 5), 255);
    EXPECT_EQ(redAt(35, 5), 255);
}

TEST(ParticleEngineSettingsTest, ResizingKeepsTheSettingsAndGivesDefaultParticles) {
    ParticleEngine engine(3);
    tarnix::Texture texture;
    engine.setTexture(&texture);
    engine.setSort(false);
    engine.setSize(12);
    engine.getParticle(1)->velocity = Vector(1, 2, 3);
    engine.updateParticleEngine();
    engine.updateParticleEngine();
    EXPECT_TRUE(engine.getParticle(1)->position == Vector(2, 4, 6));

    engine.setParticleSize(10);
    EXPECT_EQ(engine.getParticleSize(), 10u);
    EXPECT_EQ(engine.getTexture(), &texture);
    EXPECT_TRUE(engine.getParticle(1)->position == Vector(0, 0, 0));
    EXPECT_EQ(engine.getParticle(9)->phase, 1.0f);
    EXPECT_EQ(engine.getRanks()[9], 9);

    ParticleEngine empty;
    EXPECT_EQ(empty.getParticleSize(), 0u);
    EXPECT_EQ(empty.getRanks(), nullptr);
    empty.sortParticleEngine();
}
