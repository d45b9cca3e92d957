#pragma once

// The state the web build's OpenGL 1.x layer keeps for WebGL 2 (OpenGL.cpp
// carries out the OpenGL entry points over it), and the drawing of vertices
// with that state: one shader program of this module's, given the state as
// uniforms at each draw.

#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

namespace tarnix::webgl {

// ---- Matrices ----

struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // column-major, as OpenGL's
};

Matrix multiply(const Matrix& a, const Matrix& b);

// The inverse by cofactors; the identity for a singular matrix.
Matrix inverse(const Matrix& matrix);

// ---- State ----

const int textureUnits = 2;  // what the shader combines; the engine's effects use one or two

struct TextureUnit {
    bool enabled = false;  // GL_TEXTURE_2D
    GLuint binding = 0;
    GLenum environment = GL_MODULATE;
    GLenum combineRgb = GL_MODULATE;
    bool generate[4] = {};       // s, t, r, q, eye-linear
    float eyePlanes[4][4] = {};  // in eye space, as given planes are kept
    std::vector<Matrix> matrices{Matrix()};
};

struct ClientArray {
    bool enabled = false;
    GLint size = 4;
    GLsizei stride = 0;
    const void* pointer = nullptr;  // an offset when `buffer` is not 0
    GLuint buffer = 0;
};

struct State {
    // current
    float color[4] = {1, 1, 1, 1};
    float texCoords[textureUnits][4] = {{0, 0, 0, 1}, {0, 0, 0, 1}};
    float normal[3] = {0, 0, 1};
    // enables
    bool blend = false, depthTest = false, scissorTest = false, cullFace = false, pointSprite = false;
    // texturing
    int activeUnit = 0;
    TextureUnit units[textureUnits];
    bool coordReplace = false;
    // colour and depth buffers
    GLenum blendSource = GL_ONE, blendDestination = GL_ZERO;
    GLenum depthFunction = GL_LESS;
    bool depthMask = true;
    bool colorMask[4] = {true, true, true, true};
    float clearColor[4] = {0, 0, 0, 0};
    // points, polygons, lines
    float pointSize = 1, pointSizeMin = 0, pointSizeMax = 8192, pointFadeThreshold = 1;
    float pointAttenuation[3] = {1, 0, 0};
    GLenum polygonMode = GL_FILL;
    float lineWidth = 1;
    // transform and view
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Matrix> modelview{Matrix()};
    std::vector<Matrix> projection{Matrix()};
    GLint viewport[4] = {0, 0, 640, 480};
    GLint scissorBox[4] = {0, 0, 640, 480};
    double depthRange[2] = {0, 1};
    GLuint listBase = 0;
    // client
    GLuint arrayBuffer = 0;
    GLenum clientActiveUnit = 0;
    ClientArray vertexArray;
    ClientArray texCoordArrays[textureUnits];
};

// The one context's state, as the entry points set it.
extern State state;

// ---- Drawing ----

struct Vertex {
    float position[4];
    float color[4];
    float texCoords[textureUnits][4];
};

// Draws `vertices` as the fixed-function primitive `mode` would be drawn with
// the current state; they may be put into another order on the way (quads as
// triangles, wireframe as edges).
void drawVertices(GLenum mode, std::vector<Vertex>& vertices);

// Hands WebGL again the part of the state it keeps itself (enables, blending,
// depth, colour mask, clear colour, viewport, scissor box, depth range), after
// that state changed at once (glPopAttrib).
void applyPassThroughState();

// The layer's own function for the extension entry point `name`
// ("glActiveTextureARB" ...), or null where WebGL's own is the one.
void* layerEntryPoint(const char* name);

}  // namespace tarnix::webgl
