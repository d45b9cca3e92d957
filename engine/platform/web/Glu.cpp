// The four GLU calls the engine makes, over the OpenGL layer of
// OpenGL.cpp: the browser has no GLU.

#include <GL/gl.h>
#include <GL/glu.h>
#include <webgl/webgl1.h>

#include <cmath>

struct GLUquadric {};

namespace {

const double pi = 3.14159265358979323846;

}  // namespace

extern "C" {

void gluPerspective(GLdouble fieldOfViewY, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double top = zNear * std::tan(fieldOfViewY * pi / 360.0);
    glFrustum(-top * aspect, top * aspect, -top, top, zNear, zFar);
}

GLUquadric* gluNewQuadric() { return new GLUquadric; }

void gluDeleteQuadric(GLUquadric* quadric) { delete quadric; }

// Stacks from the +z pole to the -z one, each a quad strip around the z
// axis, as GLU draws a filled sphere (without normals or texture
// coordinates: the engine lights nothing and textures the sphere by
// generated coordinates).
void gluSphere(GLUquadric*, GLdouble radius, GLint slices, GLint stacks) {
    for (GLint i = 0; i < stacks; ++i) {
        const double rho = pi * i / stacks, nextRho = pi * (i + 1) / stacks;
        glBegin(GL_QUAD_STRIP);
            for (GLint j = 0; j <= slices; ++j) {
                const double theta = j == slices ? 0.0 : 2 * pi * j / slices;
                const double x = -std::sin(theta), y = std::cos(theta);
                glVertex3f(static_cast<float>(x * std::sin(rho) * radius), static_cast<float>(y * std::sin(rho) * radius),
                           static_cast<float>(std::cos(rho) * radius));
                glVertex3f(static_cast<float>(x * std::sin(nextRho) * radius),
                           static_cast<float>(y * std::sin(nextRho) * radius),
                           static_cast<float>(std::cos(nextRho) * radius));
            }
        glEnd();
    }
}

// WebGL 2 takes textures of any size, so the picture goes in as it is (GLU
// would first scale it to powers of two) and WebGL makes the smaller levels.
GLint gluBuild2DMipmaps(GLenum target, GLint components, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        const void* pixels) {
    if (width <= 0 || height <= 0)
        return GLU_INVALID_VALUE;
    glTexImage2D(target, 0, components, width, height, 0, format, type, pixels);
    emscripten_glGenerateMipmap(target);
    return 0;
}

const GLubyte* gluErrorString(GLenum error) {
    const char* text = error == GLU_INVALID_VALUE ? "invalid value" : error == GLU_OUT_OF_MEMORY ? "out of memory"
                                                                                                 : "unknown error";
    return reinterpret_cast<const GLubyte*>(text);
}

}  // extern "C"
