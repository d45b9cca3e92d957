#include "app/capture/YCbCrFrameReader.h"

#include "engine/core/Extensions.h"
#include "engine/core/FramebufferCalls.h"
#include "engine/core/OffscreenTarget.h"

#include "support/GlState.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

using namespace testsupport;
using namespace tarnix;

namespace {

using Colour = std::array<double, 3>;  // R, G, B, 0..255

const Colour red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255};

// BT.709 in limited range, from its definition: {Y', Cb, Cr}, 0..255.
Colour toYCbCr(const Colour& c) {
    const double luma = (0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2]) / 255;
    return {16 + 219 * luma, 128 + 224 * (c[2] / 255 - luma) / 1.8556, 128 + 224 * (c[0] / 255 - luma) / 1.5748};
}

Colour mix(const Colour& a, double weightOfA, const Colour& b) {
    return {weightOfA * a[0] + (1 - weightOfA) * b[0], weightOfA * a[1] + (1 - weightOfA) * b[1],
            weightOfA * a[2] + (1 - weightOfA) * b[2]};
}

// Paints the pixels x0..x1 × y0..y1 (rows counted from the top of a frame
// `height` rows high) in one colour.
void paint(int x0, int x1, int y0, int y1, int height, const Colour& c) {
    glScissor(x0, height - 1 - y1, x1 - x0 + 1, y1 - y0 + 1);
    glClearColor(float(c[0] / 255), float(c[1] / 255), float(c[2] / 255), 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

// A program of the caller's own, in use when the conversion is made and run.
GLhandleARB callersProgram() {
    const char* source = "void main() { gl_Position = gl_Vertex; }\n";
    const GLhandleARB shader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    glShaderSourceARB(shader, 1, &source, nullptr);
    glCompileShaderARB(shader);
    const GLhandleARB program = glCreateProgramObjectARB();
    glAttachObjectARB(program, shader);
    glLinkProgramARB(program);
    return program;
}

class YCbCrFrameReaderTest : public DrawingTest {};

}  // namespace

// A 16 × 8 frame, rows counted from its top: rows 0 to 2 red left of column 5
// and blue from it, the rows below green. Read as NV12, top row first: Y' of
// each pixel; Cb and Cr of each 2 × 2 block, its mean. The frame is in an
// off-screen target with depth testing and blending on, a program of the
// caller's in use and a renderbuffer bound, and all of that is as it was
// afterwards.
TEST_F(YCbCrFrameReaderTest, ConvertsTheFrameTopRowFirstAndLeavesTheStateAsItFoundIt) {
    const int width = 16, height = 8;
    tarnix::OffscreenTarget target;
    std::string error;
    ASSERT_TRUE(target.create(width, height, error)) << error;
    GLint boundBefore = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &boundBefore);
    glEnable(GL_SCISSOR_TEST);
    paint(0, 4, 0, 2, height, red);
    paint(5, 15, 0, 2, height, blue);
    paint(0, 15, 3, 7, height, green);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_BLEND);
    glViewport(1, 2, 3, 4);
    glMatrixMode(GL_PROJECTION);
    const GLhandleARB program = callersProgram();
    glUseProgramObjectARB(program);
    GLuint renderbuffer = 0;
    tarnix::framebufferCalls()->genRenderbuffers(1, &renderbuffer);
    tarnix::framebufferCalls()->bindRenderbuffer(GL_RENDERBUFFER_EXT, renderbuffer);

    tarnix::YCbCrFrameReader reader;
    ASSERT_TRUE(reader.create(width, height, error)) << error;
    ASSERT_EQ(reader.frameBytes(), std::size_t(width * height * 3 / 2));
    std::vector<unsigned char> frame(reader.frameBytes() + 1, 0xA5);
    reader.read(frame.data());
    EXPECT_EQ(frame.back(), 0xA5) << "nothing written past the frame";

    const auto luma = [&](int x, int y) { return double(frame[y * width + x]); };
    // Chroma row `row`, the pair of columns starting at `x`: {Cb, Cr}.
    const auto chroma = [&](int x, int row) {
        const unsigned char* pair = &frame[width * height + row * width + x];
        return std::array<double, 2>{double(pair[0]), double(pair[1])};
    };
    EXPECT_NEAR(luma(4, 0), toYCbCr(red)[0], 1);
    EXPECT_NEAR(luma(5, 2), toYCbCr(blue)[0], 1);
    EXPECT_NEAR(luma(0, 3), toYCbCr(green)[0], 1);
    EXPECT_NEAR(luma(15, 7), toYCbCr(green)[0], 1);
    const struct {
        int x, row;
        Colour expected;
    } sites[] = {
        {2, 0, red},
        {4, 0, mix(red, 0.5, blue)},  // column 4 red, 5 blue
        {6, 0, blue},
        {6, 1, mix(blue, 0.5, green)},  // rows 2 (blue) and 3 (green)
        {14, 3, green},
    };
    for (const auto& site : sites) {
        const Colour expected = toYCbCr(site.expected);
        const auto [cb, cr] = chroma(site.x, site.row);
        EXPECT_NEAR(cb, expected[1], 1) << "column " << site.x << ", chroma row " << site.row;
        EXPECT_NEAR(cr, expected[2], 1) << "column " << site.x << ", chroma row " << site.row;
    }

    GLint bound = 0, viewport[4] = {}, programAfter = -1, renderbufferAfter = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_CURRENT_PROGRAM, &programAfter);
    glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &renderbufferAfter);
    EXPECT_EQ(bound, boundBefore);
    EXPECT_EQ((std::array<GLint, 4>{viewport[0], viewport[1], viewport[2], viewport[3]}),
              (std::array<GLint, 4>{1, 2, 3, 4}));
    EXPECT_EQ(programAfter, GLint(program));
    EXPECT_EQ(renderbufferAfter, GLint(renderbuffer));
    glUseProgramObjectARB(0);
    glDeleteObjectARB(program);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(matrixMode(), GLenum(GL_PROJECTION));
    glDisable(GL_BLEND);
    glMatrixMode(GL_MODELVIEW);
}

// Frames NV12 cannot hold are refused with the reason, so a capture reads RGB.
TEST_F(YCbCrFrameReaderTest, RefusesAWidthNotAMultipleOfFourOrAnOddHeight) {
    tarnix::YCbCrFrameReader reader;
    std::string error;
    EXPECT_FALSE(reader.create(1366, 768, error));
    EXPECT_NE(error.find("1366 x 768"), std::string::npos) << error;
    EXPECT_FALSE(reader.create(640, 481, error));
    EXPECT_TRUE(reader.create(640, 480, error)) << error;
}
