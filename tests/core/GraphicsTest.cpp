#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OffscreenTarget.h"

#include "support/GlState.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const float tolerance = 1e-5f;

// gluPerspective(45°, 640/480, 0.01, 10000) written out from its definition.
Matrix expectedPerspective() {
    const double nearPlane = 0.01f, farPlane = 10000.0;
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    const double aspect = 640.0 / 480.0;
    Matrix m{};
    m[0] = float(f / aspect);
    m[5] = float(f);
    m[10] = float((farPlane + nearPlane) / (nearPlane - farPlane));
    m[11] = -1.0f;
    m[14] = float(2.0 * farPlane * nearPlane / (nearPlane - farPlane));
    return m;
}

Matrix identity() {
    Matrix m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

void expectMatrixNear(const Matrix& actual, const Matrix& expected) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance * std::max(1.0f, std::fabs(expected[i]))) << "element " << i;
}

class GraphicsTest : public DrawingTest {};

}  // namespace

TEST_F(GraphicsTest, BringUpLeavesDepthTestOnAndEyeLinearPlanesReady) {
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    const GLenum coordinates[] = {GL_S, GL_T, GL_R, GL_Q};
    const GLenum enables[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
    for (int i = 0; i < 4; ++i) {
        GLint mode = 0;
        glGetTexGeniv(coordinates[i], GL_TEXTURE_GEN_MODE, &mode);
        EXPECT_EQ(mode, GL_EYE_LINEAR);
        GLfloat plane[4] = {-1, -1, -1, -1};
        glGetTexGenfv(coordinates[i], GL_EYE_PLANE, plane);
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(plane[j], i == j ? 1.0f : 0.0f) << "coordinate " << i << " component " << j;
        EXPECT_FALSE(glIsEnabled(enables[i])) << "generation stays off until a projected layer draws";
    }
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
}

TEST_F(GraphicsTest, ViewResetGivesThe45DegreePerspectiveAndIdentityModelview) {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 2, 3);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();

    tarnix::viewReset();
    EXPECT_EQ(matrixMode(), GLenum(GL_MODELVIEW));
    expectMatrixNear(currentMatrix(GL_PROJECTION_MATRIX), expectedPerspective());
    expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), identity());
}

TEST_F(GraphicsTest, Perspective2DMapsTheGivenSizeOntoTheWholeWindowFromTheBottomLeft) {
    const int modelviewDepth = stackDepth(GL_MODELVIEW_STACK_DEPTH);
    const int projectionDepth = stackDepth(GL_PROJECTION_STACK_DEPTH);

    tarnix::perspective2D(320, 240);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(matrixMode(), GLenum(GL_MODELVIEW));
    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), modelviewDepth + 1);
    EXPECT_EQ(stackDepth(GL_PROJECTION_STACK_DEPTH), projectionDepth + 1);
    Matrix ortho{};
    ortho[0] = 2.0f / 320;
    ortho[5] = 2.0f / 240;
    ortho[10] = -2.0f;
    ortho[12] = ortho[13] = ortho[14] = -1.0f;
    ortho[15] = 1.0f;
    expectMatrixNear(currentMatrix(GL_PROJECTION_MATRIX), ortho);
    expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), identity());

    // A small square whose corner is the vertex (320, 240) covers the top-right pixel.
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
        glVertex2f(316, 236);
        glVertex2f(320, 236);
        glVertex2f(320, 240);
        glVertex2f(316, 240);
    glEnd();
    glColor3f(1, 1, 1);
    glFinish();
    EXPECT_EQ(pixelAt(639, 479), (std::array<unsigned char, 3>{255, 0, 0}));
    EXPECT_EQ(pixelAt(629, 469), (std::array<unsigned char, 3>{0, 0, 0}));
    EXPECT_EQ(pixelAt(0, 0), (std::array<unsigned char, 3>{0, 0, 0}));

    tarnix::perspective3D();
}

TEST_F(GraphicsTest, Perspective2DWithoutSizeUsesTheWindowPixels) {
    tarnix::perspective2D();
    const Matrix projection = currentMatrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(projection[0], 2.0f / 640, tolerance);
    EXPECT_NEAR(projection[5], 2.0f / 480, tolerance);
    tarnix::perspective3D();
}

TEST_F(GraphicsTest, Perspective3DRestoresStacksDepthTestAndThe3DView) {
    const int modelviewDepth = stackDepth(GL_MODELVIEW_STACK_DEPTH);
    const int projectionDepth = stackDepth(GL_PROJECTION_STACK_DEPTH);
    glTranslatef(5, 6, 7);  // whatever came before, a 2D pass ends in the plain 3D view

    tarnix::perspective2D(800, 600);
    glTranslatef(10, 10, 0);
    tarnix::perspective3D();

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(matrixMode(), GLenum(GL_MODELVIEW));
    EXPECT_EQ(stackDepth(GL_MODELVIEW_STACK_DEPTH), modelviewDepth);
    EXPECT_EQ(stackDepth(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    expectMatrixNear(currentMatrix(GL_PROJECTION_MATRIX), expectedPerspective());
    expectMatrixNear(currentMatrix(GL_MODELVIEW_MATRIX), identity());
}

// On a framebuffer of another shape the 4:3 picture is as large as fits and
// centred (here 800 × 600, 1.25 times the window, between bars of 80 pixels),
// sizes in pixels scale by the same factor, and presenting paints over the
// bars whatever a frame drew there, keeping the picture.
TEST_F(GraphicsTest, AFrameLayoutCentresThePictureScalesPixelSizesAndBlackensTheBars) {
    {
        tarnix::OffscreenTarget target;
        std::string error;
        ASSERT_TRUE(target.create(960, 600, error)) << error;
        tarnix::setFrameLayout(960, 600);
        const tarnix::PictureArea area = tarnix::getPictureArea();
        EXPECT_EQ((std::array<int, 4>{area.x, area.y, area.width, area.height}), (std::array<int, 4>{80, 0, 800, 600}));
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ((std::array<int, 4>{viewport[0], viewport[1], viewport[2], viewport[3]}),
                  (std::array<int, 4>{80, 0, 800, 600}));
        tarnix::pointSize(2);
        GLfloat size = 0;
        glGetFloatv(GL_POINT_SIZE, &size);
        EXPECT_FLOAT_EQ(size, 2.5f);

        glClearColor(0, 0, 1, 1);  // a clear ignores the viewport: the bars turn blue too
        glClear(GL_COLOR_BUFFER_BIT);
        tarnix::flush();
        glFinish();
        EXPECT_EQ(pixelAt(0, 0), (std::array<unsigned char, 3>{0, 0, 0}));
        EXPECT_EQ(pixelAt(79, 599), (std::array<unsigned char, 3>{0, 0, 0}));
        EXPECT_EQ(pixelAt(880, 300), (std::array<unsigned char, 3>{0, 0, 0}));
        EXPECT_EQ(pixelAt(80, 0), (std::array<unsigned char, 3>{0, 0, 255}));
        EXPECT_EQ(pixelAt(879, 599), (std::array<unsigned char, 3>{0, 0, 255}));
        GLfloat clearColour[4] = {};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
        EXPECT_EQ(clearColour[2], 1.0f) << "the frame's own clear colour is kept";
        EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    }
    tarnix::setFrameLayout(640, 480);
    EXPECT_EQ(tarnix::getPixelScale(), 1.0f);
}

// Where stops cut frames, a long draw goes to the renderer a few items at a
// time: the picture is the one a single pass draws. A stop seen between two
// parts leaves the rest of the frame out, every later draw of it too, and the
// frame is not presented; the next frame is whole again.
TEST_F(GraphicsTest, ALongDrawInPartsIsTheSamePictureAndAStopCutsItsFrame) {
    ASSERT_TRUE(tarnix::drawsOnTheProcessor()) << "frames are cut only on a renderer that is the processor";
    // Forty additive quads, each 16 pixels right of the one before.
    const auto drawQuads = [](unsigned itemsAPart) {
        glClear(GL_COLOR_BUFFER_BIT);
        tarnix::perspective2D(640, 480);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        const bool whole = tarnix::drawInParts(GL_QUADS, 0, 40, itemsAPart, [](unsigned i) {
            glColor3f(0.05f, 0.02f * static_cast<float>(i % 4), 0.1f);
            const int x = static_cast<int>(i) * 16;
            glVertex2i(x, 100);
            glVertex2i(x + 100, 100);
            glVertex2i(x + 100, 300);
            glVertex2i(x, 300);
        });
        glDisable(GL_BLEND);
        tarnix::perspective3D();
        return whole;
    };
    const auto picture = [] {
        std::vector<unsigned char> rgb(640 * 480 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return rgb;
    };
    ASSERT_TRUE(drawQuads(40));
    const std::vector<unsigned char> inOnePass = picture();
    tarnix::setStopsCutFrames(true);
    EXPECT_TRUE(drawQuads(3));
    EXPECT_TRUE(picture() == inOnePass) << "drawn in parts, the picture changed";

    SDL_Event escape = {};
    escape.type = SDL_KEYDOWN;
    escape.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&escape);
    EXPECT_FALSE(drawQuads(3));
    const std::size_t coveredByTheFirstPart = (200 * 640 + 20) * 3;  // (20, 200): quads 0 and 1
    EXPECT_EQ(pixelAt(20, 200), (std::array<unsigned char, 3>{inOnePass[coveredByTheFirstPart],
                                                               inOnePass[coveredByTheFirstPart + 1],
                                                               inOnePass[coveredByTheFirstPart + 2]}))
        << "the first part is drawn";
    EXPECT_EQ(pixelAt(600, 200), (std::array<unsigned char, 3>{0, 0, 0})) << "the rest is left out";
    EXPECT_FALSE(tarnix::drawInParts(GL_QUADS, 0, 1, 1, [](unsigned) { FAIL() << "a cut frame draws on"; }));
    const unsigned presented = tarnix::getFramesPresented();
    tarnix::flush();
    EXPECT_EQ(tarnix::getFramesPresented(), presented) << "a cut frame was presented";

    tarnix::input.forgetStop();
    EXPECT_TRUE(drawQuads(3));
    EXPECT_TRUE(picture() == inOnePass) << "the frame after a cut one";
    tarnix::setStopsCutFrames(false);
}
