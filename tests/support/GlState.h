#pragma once

#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"

#include <gtest/gtest.h>

#include <array>

namespace testsupport {

using Matrix = std::array<float, 16>;

inline Matrix currentMatrix(GLenum which) {
    Matrix m{};
    glGetFloatv(which, m.data());
    return m;
}

inline int stackDepth(GLenum which) {
    GLint depth = 0;
    glGetIntegerv(which, &depth);
    return depth;
}

inline GLenum matrixMode() {
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    return static_cast<GLenum>(mode);
}

// RGB of one pixel of the back buffer, window coordinates from the bottom left.
inline std::array<unsigned char, 3> pixelAt(int x, int y) {
    std::array<unsigned char, 3> rgb{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// A drawing test: starts from a black frame and the reset view, and fails if
// the test left an OpenGL error behind.
class DrawingTest : public testing::Test {
protected:
    void SetUp() override {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        tarnix::viewReset();
    }
    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }
};

}  // namespace testsupport
