#include "engine/core/Graphics.h"
#include "engine/core/OffscreenTarget.h"

#include "support/GlState.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

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
