#include "engine/render/Layer.h"

#include "engine/core/Graphics.h"
#include "support/GlState.h"
#include "support/GlTextures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testsupport;
using Rgb = std::array<unsigned char, 3>;

namespace {

const Rgb black{0, 0, 0};
const Rgb red{255, 0, 0};
const Rgb green{0, 255, 0};
const Rgb blue{0, 0, 255};

// View units of the layers' 1024 × 768 view to window pixels (640 × 480).
Rgb viewPixel(float x, float y) { return pixelAt(static_cast<int>(x * 0.625f), static_cast<int>(y * 0.625f)); }

class LayerTest : public DrawingTest {};

}  // namespace

TEST_F(LayerTest, ALayerWithOnlyATextureCoversItsPixelSizeAtTheViewOrigin) {
    tarnix::Texture texture = solidTexture(256, 192, opaqueRed);
    tarnix::Layer layer;
    layer.setTexture(&texture);
    EXPECT_EQ(layer.getWidth(), 256.0f);
    layer.drawLayer2D();
    glFinish();
    EXPECT_EQ(viewPixel(2, 2), red);
    EXPECT_EQ(viewPixel(254, 190), red);
    EXPECT_EQ(viewPixel(260, 100), black);
    EXPECT_EQ(viewPixel(100, 196), black);

    // What the call leaves: the 3D view, blending and texturing off, the
    // layer's colour, blend function and texture current.
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint bound = 0, source = 0, destination = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_BLEND_SRC, &source);
    glGetIntegerv(GL_BLEND_DST, &destination);
    EXPECT_EQ(static_cast<GLuint>(bound), texture.id);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    const Matrix modelview = currentMatrix(GL_MODELVIEW_MATRIX);
    EXPECT_EQ(modelview[0], 1.0f);
    EXPECT_EQ(modelview[12], 0.0f);
}

TEST_F(LayerTest, TheClipRectangleIsDividedByTheViewSize) {
    // Four 2 × 2 quadrants: bottom left red, bottom right green, top left blue, top right white.
    tarnix::Texture texture = makeTexture(4, 4, {opaqueRed, opaqueRed, opaqueGreen, opaqueGreen,
                                                 opaqueRed, opaqueRed, opaqueGreen, opaqueGreen,
                                                 opaqueBlue, opaqueBlue, opaqueWhite, opaqueWhite,
                                                 opaqueBlue, opaqueBlue, opaqueWhite, opaqueWhite});
    tarnix::Layer layer;
    layer.setTexture(&texture);
    layer.setSize(400, 400);
    layer.setClip(true, 0, 0, 512, 384);  // s 0 .. 0.5, t 0 .. 0.5: the red quadrant only
    layer.drawLayer2D();
    glFinish();
    EXPECT_EQ(viewPixel(10, 10), red);
    EXPECT_EQ(viewPixel(390, 390), red);

    layer.setClip(true, 512, 384, 512, 384);  // the white quadrant
    layer.drawLayer2D();
    glFinish();
    EXPECT_EQ(viewPixel(200, 200), (Rgb{255, 255, 255}));
}

TEST_F(LayerTest, TheAngleTurnsTheQuadAboutTheViewOrigin) {
    tarnix::Texture texture = solidTexture(1, 1, opaqueGreen);
    tarnix::Layer layer;
    layer.setTexture(&texture);
    layer.setSize(100, 100);
    layer.setPosition(0, -100);  // below the screen until turned
    layer.setAngle(90);          // its corner (100, 0) goes to (0, 100)
    layer.drawLayer2D();
    glFinish();
    EXPECT_EQ(viewPixel(50, 50), green);
    EXPECT_EQ(viewPixel(96, 96), green);
    EXPECT_EQ(viewPixel(104, 50), black);
    EXPECT_EQ(viewPixel(50, 104), black);
}

TEST_F(LayerTest, BlendLayersAreDrawnFromTheFarEndAndALoopOnlyOnce) {
    tarnix::Texture redTexture = solidTexture(1, 1, opaqueRed);
    tarnix::Texture greenTexture = solidTexture(1, 1, opaqueGreen);
    tarnix::Texture blueTexture = solidTexture(1, 1, opaqueBlue);
    tarnix::Layer front, middle, back;
    front.setTexture(&redTexture);
    middle.setTexture(&greenTexture);
    back.setTexture(&blueTexture);
    front.setSize(200, 200);
    middle.setSize(300, 300);
    back.setSize(400, 400);
    front.setBlendLayer(&middle);
    middle.setBlendLayer(&back);
    front.drawLayer2D();
    glFinish();
    EXPECT_EQ(viewPixel(100, 100), red);
    EXPECT_EQ(viewPixel(250, 250), green);
    EXPECT_EQ(viewPixel(350, 350), blue);

    back.setBlendLayer(&front);  // a loop: each layer still drawn once
    glClear(GL_COLOR_BUFFER_BIT);
    front.setBlendFunc(GL_ONE, GL_ONE);
    front.drawLayer2D();
    glFinish();
    EXPECT_EQ(viewPixel(100, 100), (Rgb{255, 255, 0}));  // red added once onto green
}

TEST_F(LayerTest, ALayerWithoutATextureDrawsNothing) {
    tarnix::Layer layer;
    layer.setSize(500, 500);
    layer.drawLayer2D();
    layer.drawLayer();
    glFinish();
    EXPECT_EQ(viewPixel(100, 100), black);
}

TEST_F(LayerTest, TheSquareIn3DIsRotatedThenScaledThenMoved) {
    tarnix::Texture texture = solidTexture(1, 1, opaqueBlue);
    tarnix::Layer layer;
    layer.setTexture(&texture);
    layer.setPosition(0, 0, -10);
    layer.setScale(2, 1);
    EXPECT_EQ(layer.getScale().z, 1.0f);
    layer.setRotation(90, 0, 0, 1);  // turned first: the scale then stretches its turned x
    layer.drawLayer();
    glFinish();
    // A 4 × 2 rectangle 10 units away: x within ±2, y within ±1.
    const float unitsPerPixel = 2 * 10 * std::tan(22.5f * 3.14159265f / 180) / 480;
    EXPECT_EQ(pixelAt(320 + static_cast<int>(1.8f / unitsPerPixel), 240), blue);
    EXPECT_EQ(pixelAt(320, 240 + static_cast<int>(1.2f / unitsPerPixel)), black);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), 1);
}

TEST_F(LayerTest, TheProjectorMatrixAccumulatesTheModelviewOnEachBegin) {
    tarnix::Texture texture = solidTexture(1, 1, opaqueRed);
    tarnix::Layer layer;
    layer.setTexture(&texture);
    glTranslatef(1, 2, 3);
    const int depth = stackDepth(GL_MODELVIEW_STACK_DEPTH);

    layer.drawLayerProjectedBegin();
    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), depth + 1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_Q));
    layer.drawLayerProjectedEnd();
    EXPECT_EQ(layer.getProjector().m[12], 1.0f);  // M
    EXPECT_EQ(layer.getProjector().m[14], 3.0f);

    layer.drawLayerProjectedBegin();
    layer.drawLayerProjectedEnd();
    EXPECT_EQ(layer.getProjector().m[12], 2.0f);  // M·M
    EXPECT_EQ(layer.getProjector().m[13], 4.0f);
    EXPECT_EQ(layer.getProjector().m[14], 6.0f);

    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), depth);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    glMatrixMode(GL_TEXTURE);
    const Matrix textureMatrix = currentMatrix(GL_TEXTURE_MATRIX);
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(textureMatrix[0], 1.0f);
    EXPECT_EQ(textureMatrix[12], 0.0f);
}

TEST_F(LayerTest, TheProjectedPictureLandsWhereTheFrustumSays) {
    // Left half red, right half green.
    tarnix::Texture texture = makeTexture(2, 1, {opaqueRed, opaqueGreen});
    tarnix::Layer layer;
    layer.setTexture(&texture);
    layer.drawLayerProjectedBegin();
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);  // a wall at z = -2, inside the frustum (near 1, far 3)
        glVertex3f(-5, -5, -2);
        glVertex3f(5, -5, -2);
        glVertex3f(5, 5, -2);
        glVertex3f(-5, 5, -2);
    glEnd();
    layer.drawLayerProjectedEnd();
    glFinish();
    // The frustum maps eye x -1 .. 1 at z = -2 onto s 0 .. 1.
    EXPECT_EQ(pixelAt(260, 240), red);
    EXPECT_EQ(pixelAt(380, 240), green);
}

TEST_F(LayerTest, TheProjectionFrustumIsDrawnInYellowKeepingTheColour) {
    tarnix::Layer layer;
    glColor3f(0.25f, 0.5f, 0.75f);
    layer.drawProjectionFrustum();
    glFinish();
    // Its side edges at x = ±0.5, z = -1 fall 290 pixels either side of the centre.
    auto yellowNear = [](int x) {
        for (int dx = -2; dx <= 2; ++dx)
            if (pixelAt(x + dx, 240) == Rgb{255, 255, 0})
                return true;
        return false;
    };
    EXPECT_TRUE(yellowNear(30));
    EXPECT_TRUE(yellowNear(609));
    EXPECT_EQ(pixelAt(320, 240), black);
    float colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[1], 0.5f);
}
