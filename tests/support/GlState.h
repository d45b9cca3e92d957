#pragma once

#include "engine/core/OpenGL.h"

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

}  // namespace testsupport
