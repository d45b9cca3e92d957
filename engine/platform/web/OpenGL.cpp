// OpenGL 1.x on WebGL 2: the part of the fixed-function pipeline the engine
// draws with. WebGL has no immediate mode, matrix or attribute stacks, display
// lists, texture coordinate generation, texture environments or point
// sprites; the entry points here keep them as state (OpenGLPipeline.h),
// which the pipeline (OpenGLPipeline.cpp) hands WebGL as vertex buffers
// and uniforms of its one shader program at each draw.
//
// What the two cover, as the engine uses it:
//   - glBegin/glEnd with every primitive (quads, quad strips and polygons as
//     triangles), current colour and texture coordinates of two units;
//   - the modelview, projection and texture matrix stacks;
//   - glVertexPointer/glTexCoordPointer with glDrawArrays, from client memory
//     or from a buffer object (whose bytes are kept here: WebGL cannot read
//     a buffer back);
//   - eye-linear texture coordinate generation of s, t, r and q, divided by q
//     as a projected texture is;
//   - texture environments MODULATE, REPLACE, DECAL, ADD and COMBINE (its RGB
//     function over the texture and the previous unit's colour);
//   - point sizes with distance attenuation, limits and fading, and point
//     sprites whose coordinates run over the point;
//   - wireframe (glPolygonMode GL_LINE) as the polygons' edges;
//   - display lists (recorded calls), glPushAttrib/glPopAttrib of the groups
//     the engine pushes, glPushClientAttrib/glPopClientAttrib of the client
//     arrays, glGet of the state it reads back;
//   - an extension string of what is carried out here, and SDL's entry point
//     lookup answering with these functions before WebGL's own.
// Lines are one pixel wide whatever glLineWidth says: WebGL draws no others.
// glTexImage2D takes OpenGL 1's component counts as the format of the pixels
// given (WebGL 2 takes no other unsized format), and RGBA pixels for a
// texture of three components are made opaque. Everything else (clearing,
// textures' parameters, reading pixels, framebuffers) goes to WebGL as it is.

#include "engine/platform/web/OpenGLPipeline.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace tarnix::webgl;

namespace {

struct PushedAttributes {
    GLbitfield mask;
    State saved;
};
std::vector<PushedAttributes> attributeStack;
std::vector<State> clientAttributeStack;

Matrix& currentMatrix() {
    switch (state.matrixMode) {
    case GL_PROJECTION: return state.projection.back();
    case GL_TEXTURE: return state.units[state.activeUnit].matrices.back();
    default: return state.modelview.back();
    }
}

std::vector<Matrix>& currentMatrixStack() {
    switch (state.matrixMode) {
    case GL_PROJECTION: return state.projection;
    case GL_TEXTURE: return state.units[state.activeUnit].matrices;
    default: return state.modelview;
    }
}

// ---- Display lists ----
// A list is the calls made between glNewList and glEndList, kept as calls of
// the same entry points with their arguments, made again by glCallList(s).
// Every entry point here that OpenGL records into a list records itself
// (`recorded`), its pointed-to values copied, except glTexImage2D, which is
// left out with a message (`refusedInList`). The calls OpenGL runs at once
// even while a list is made run at once here too: the lists' own calls
// (glGenLists, glNewList, glEndList, glDeleteLists), the client side
// (glEnableClientState, glDisableClientState, glVertexPointer,
// glTexCoordPointer, glPushClientAttrib, glPopClientAttrib), buffer objects
// (glGenBuffers, glBindBuffer, glBufferData, glDeleteBuffers) and the queries
// (glIsEnabled, glGet*). What passes straight to WebGL (glGenTextures,
// glDeleteTextures, glPixelStorei, glReadPixels, glFlush) is of that kind too.

struct Lists {
    std::vector<std::vector<std::function<void()>>> bodies;  // list n - 1 at index n - 1
    std::vector<bool> made;
    GLuint compiling = 0;  // the list being recorded, 0 while none
    bool executeToo = false;
};
Lists lists;

// Keeps four values of a call (a colour, a mask, a rectangle) in `kept`.
template <typename Kept, typename Value>
void keep(Kept (&kept)[4], Value a, Value b, Value c, Value d) {
    kept[0] = a;
    kept[1] = b;
    kept[2] = c;
    kept[3] = d;
}

// True when the call is to be recorded only; records it while a list is made.
template <typename Call>
bool recorded(Call call) {
    if (lists.compiling == 0)
        return false;
    lists.bodies[lists.compiling - 1].push_back(call);
    return !lists.executeToo;
}

// True (the call is left out) for a call this layer does not record, made
// while a list is made: OpenGL would record it, so running it at once would
// be as wrong as leaving it out. Says so on the first such call of each entry
// point: the engine makes none, and a new one must be seen at once.
bool refusedInList(const char* entryPoint) {
    if (lists.compiling == 0)
        return false;
    static std::vector<std::string> told;
    if (std::find(told.begin(), told.end(), entryPoint) == told.end()) {
        told.emplace_back(entryPoint);
        std::fprintf(stderr, "tarnix: the browser's OpenGL layer leaves %s out of display list %u: it records no such call\n",
                     entryPoint, lists.compiling);
    }
    return true;
}

// ---- Immediate mode ----

struct Immediate {
    bool inside = false;
    GLenum mode = GL_POINTS;
    std::vector<Vertex> vertices;
};
Immediate immediate;

void emitVertex(float x, float y, float z, float w) {
    Vertex vertex = {{x, y, z, w}, {}, {}};
    std::memcpy(vertex.color, state.color, sizeof vertex.color);
    std::memcpy(vertex.texCoords, state.texCoords, sizeof vertex.texCoords);
    immediate.vertices.push_back(vertex);
}

// ---- Client arrays ----

// Element `index` of a float array, from client memory or a buffer's copy.
const float* arrayElement(const ClientArray& array, const std::vector<unsigned char>& bufferBytes, GLint index) {
    const std::size_t stride = array.stride != 0 ? array.stride : array.size * sizeof(float);
    const std::size_t offset = reinterpret_cast<std::size_t>(array.pointer) + stride * index;
    if (array.buffer == 0)
        return reinterpret_cast<const float*>(offset);
    if (offset + array.size * sizeof(float) > bufferBytes.size())
        return nullptr;
    return reinterpret_cast<const float*>(bufferBytes.data() + offset);
}

// The bytes of each buffer object as last given to glBufferData: WebGL cannot
// read a buffer back, and arrays drawn from buffers are gathered here as
// client arrays are.
std::vector<std::vector<unsigned char>> bufferContents;

const std::vector<unsigned char>& contentOf(GLuint buffer) {
    static const std::vector<unsigned char> none;
    return buffer < bufferContents.size() ? bufferContents[buffer] : none;
}

// The elements first .. first + count - 1 of the enabled client arrays, as
// vertices; `fromArrays` marks the units whose coordinates came from an array.
struct ArrayVertices {
    std::vector<Vertex> vertices;
    bool fromArrays[textureUnits] = {};
};

ArrayVertices gatherArrays(GLint first, GLsizei count) {
    ArrayVertices gathered;
    for (int u = 0; u < textureUnits; ++u)
        gathered.fromArrays[u] = state.texCoordArrays[u].enabled;
    const std::vector<unsigned char>& positions = contentOf(state.vertexArray.buffer);
    gathered.vertices.reserve(static_cast<std::size_t>(count));
    for (GLint i = first; i < first + count; ++i) {
        Vertex vertex = {{0, 0, 0, 1}, {}, {}};
        const float* position = arrayElement(state.vertexArray, positions, i);
        if (!position)
            break;
        for (int k = 0; k < state.vertexArray.size && k < 4; ++k)
            vertex.position[k] = position[k];
        for (int u = 0; u < textureUnits; ++u) {
            const ClientArray& array = state.texCoordArrays[u];
            if (!array.enabled)
                continue;
            const float* coordinates = arrayElement(array, contentOf(array.buffer), i);
            float* kept = vertex.texCoords[u];
            kept[0] = kept[1] = kept[2] = 0;
            kept[3] = 1;
            for (int k = 0; coordinates && k < array.size && k < 4; ++k)
                kept[k] = coordinates[k];
        }
        gathered.vertices.push_back(vertex);
    }
    return gathered;
}

// Draws gathered array vertices with the current colour, and the current
// coordinates of each unit that had no array.
void drawGathered(GLenum mode, const ArrayVertices& gathered) {
    std::vector<Vertex> vertices = gathered.vertices;
    for (Vertex& vertex : vertices) {
        std::memcpy(vertex.color, state.color, sizeof vertex.color);
        for (int u = 0; u < textureUnits; ++u)
            if (!gathered.fromArrays[u])
                std::memcpy(vertex.texCoords[u], state.texCoords[u], sizeof vertex.texCoords[u]);
    }
    drawVertices(mode, vertices);
}

void restoreAttributes(const PushedAttributes& pushed) {
    const GLbitfield mask = pushed.mask;
    const State& saved = pushed.saved;
    if (mask & GL_CURRENT_BIT) {
        std::memcpy(state.color, saved.color, sizeof state.color);
        std::memcpy(state.texCoords, saved.texCoords, sizeof state.texCoords);
        std::memcpy(state.normal, saved.normal, sizeof state.normal);
    }
    if (mask & GL_ENABLE_BIT) {
        state.blend = saved.blend;
        state.depthTest = saved.depthTest;
        state.scissorTest = saved.scissorTest;
        state.cullFace = saved.cullFace;
        state.pointSprite = saved.pointSprite;
        for (int u = 0; u < textureUnits; ++u) {
            state.units[u].enabled = saved.units[u].enabled;
            std::memcpy(state.units[u].generate, saved.units[u].generate, sizeof state.units[u].generate);
        }
    }
    if (mask & GL_TEXTURE_BIT) {
        state.activeUnit = saved.activeUnit;
        for (int u = 0; u < textureUnits; ++u) {
            TextureUnit& unit = state.units[u];
            const TextureUnit& was = saved.units[u];
            unit.binding = was.binding;
            unit.environment = was.environment;
            unit.combineRgb = was.combineRgb;
            unit.enabled = was.enabled;
            std::memcpy(unit.generate, was.generate, sizeof unit.generate);
            std::memcpy(unit.eyePlanes, was.eyePlanes, sizeof unit.eyePlanes);
        }
    }
    if (mask & GL_COLOR_BUFFER_BIT) {
        state.blend = saved.blend;
        state.blendSource = saved.blendSource;
        state.blendDestination = saved.blendDestination;
        std::memcpy(state.colorMask, saved.colorMask, sizeof state.colorMask);
        std::memcpy(state.clearColor, saved.clearColor, sizeof state.clearColor);
    }
    if (mask & GL_DEPTH_BUFFER_BIT) {
        state.depthTest = saved.depthTest;
        state.depthFunction = saved.depthFunction;
        state.depthMask = saved.depthMask;
    }
    if (mask & GL_POINT_BIT) {
        state.pointSize = saved.pointSize;
        state.pointSprite = saved.pointSprite;
        state.coordReplace = saved.coordReplace;
    }
    if (mask & GL_POLYGON_BIT) {
        state.polygonMode = saved.polygonMode;
        state.cullFace = saved.cullFace;
    }
    if (mask & GL_LINE_BIT)
        state.lineWidth = saved.lineWidth;
    if (mask & GL_SCISSOR_BIT) {
        state.scissorTest = saved.scissorTest;
        std::memcpy(state.scissorBox, saved.scissorBox, sizeof state.scissorBox);
    }
    if (mask & GL_VIEWPORT_BIT) {
        std::memcpy(state.viewport, saved.viewport, sizeof state.viewport);
        std::memcpy(state.depthRange, saved.depthRange, sizeof state.depthRange);
    }
    if (mask & GL_TRANSFORM_BIT)
        state.matrixMode = saved.matrixMode;
    if (mask & GL_LIST_BIT)
        state.listBase = saved.listBase;
    applyPassThroughState();
}

void setEnabled(GLenum capability, bool on) {
    TextureUnit& unit = state.units[state.activeUnit];
    switch (capability) {
    case GL_TEXTURE_2D: unit.enabled = on; return;
    case GL_TEXTURE_GEN_S: unit.generate[0] = on; return;
    case GL_TEXTURE_GEN_T: unit.generate[1] = on; return;
    case GL_TEXTURE_GEN_R: unit.generate[2] = on; return;
    case GL_TEXTURE_GEN_Q: unit.generate[3] = on; return;
    case GL_POINT_SPRITE: state.pointSprite = on; return;
    case GL_BLEND: state.blend = on; break;
    case GL_DEPTH_TEST: state.depthTest = on; break;
    case GL_SCISSOR_TEST: state.scissorTest = on; break;
    case GL_CULL_FACE: state.cullFace = on; break;
    default: return;  // lighting, smoothing and the like: not drawn here
    }
    on ? emscripten_glEnable(capability) : emscripten_glDisable(capability);
}

const char* const extensionString =
    "GL_ARB_multitexture GL_EXT_texture_env_combine GL_ARB_texture_env_combine GL_ARB_texture_env_add "
    "GL_ARB_vertex_buffer_object GL_ARB_point_sprite GL_ARB_point_parameters GL_ARB_texture_non_power_of_two "
    "GL_EXT_framebuffer_object";

}  // namespace

// ---- Entry points ----

extern "C" {

void glBegin(GLenum mode) {
    if (recorded([=] { glBegin(mode); }))
        return;
    immediate.inside = true;
    immediate.mode = mode;
    immediate.vertices.clear();
}

void glEnd() {
    if (recorded([] { glEnd(); }))
        return;
    immediate.inside = false;
    drawVertices(immediate.mode, immediate.vertices);
}

void glVertex2f(GLfloat x, GLfloat y) {
    if (!recorded([=] { glVertex2f(x, y); }))
        emitVertex(x, y, 0, 1);
}
void glVertex2i(GLint x, GLint y) {
    if (!recorded([=] { glVertex2i(x, y); }))
        emitVertex(static_cast<float>(x), static_cast<float>(y), 0, 1);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!recorded([=] { glVertex3f(x, y, z); }))
        emitVertex(x, y, z, 1);
}
void glVertex3fv(const GLfloat* v) { glVertex3f(v[0], v[1], v[2]); }

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (recorded([=] { glColor4f(r, g, b, a); }))
        return;
    keep(state.color, r, g, b, a);
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { glColor4f(r, g, b, 1); }
void glColor4fv(const GLfloat* v) { glColor4f(v[0], v[1], v[2], v[3]); }
void glColor3fv(const GLfloat* v) { glColor4f(v[0], v[1], v[2], 1); }
void glColor4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a) { glColor4f(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f); }

void glMultiTexCoord2f(GLenum unit, GLfloat s, GLfloat t) {
    if (recorded([=] { glMultiTexCoord2f(unit, s, t); }))
        return;
    const unsigned index = unit - GL_TEXTURE0;
    if (index >= textureUnits)
        return;
    float* coordinates = state.texCoords[index];
    coordinates[0] = s;
    coordinates[1] = t;
    coordinates[2] = 0;
    coordinates[3] = 1;
}
void glMultiTexCoord2fARB(GLenum unit, GLfloat s, GLfloat t) { glMultiTexCoord2f(unit, s, t); }
void glTexCoord2f(GLfloat s, GLfloat t) { glMultiTexCoord2f(GL_TEXTURE0, s, t); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    if (recorded([=] { glNormal3f(x, y, z); }))
        return;
    state.normal[0] = x;
    state.normal[1] = y;
    state.normal[2] = z;
}

// -- matrices --

void glMatrixMode(GLenum mode) {
    if (!recorded([=] { glMatrixMode(mode); }))
        state.matrixMode = mode;
}

void glLoadIdentity() {
    if (!recorded([] { glLoadIdentity(); }))
        currentMatrix() = Matrix();
}

void glLoadMatrixf(const GLfloat* m) {
    Matrix given;
    std::memcpy(given.m, m, sizeof given.m);
    if (!recorded([=] { glLoadMatrixf(given.m); }))
        currentMatrix() = given;
}

void glMultMatrixf(const GLfloat* m) {
    Matrix given;
    std::memcpy(given.m, m, sizeof given.m);
    if (recorded([=] { glMultMatrixf(given.m); }))
        return;
    Matrix& current = currentMatrix();
    current = multiply(current, given);
}

void glPushMatrix() {
    if (recorded([] { glPushMatrix(); }))
        return;
    std::vector<Matrix>& stack = currentMatrixStack();
    stack.push_back(stack.back());
}

void glPopMatrix() {
    if (recorded([] { glPopMatrix(); }))
        return;
    std::vector<Matrix>& stack = currentMatrixStack();
    if (stack.size() > 1)
        stack.pop_back();
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix translation;
    translation.m[12] = x;
    translation.m[13] = y;
    translation.m[14] = z;
    glMultMatrixf(translation.m);
}

void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix scaling;
    scaling.m[0] = x;
    scaling.m[5] = y;
    scaling.m[10] = z;
    glMultMatrixf(scaling.m);
}

void glRotatef(GLfloat degrees, GLfloat x, GLfloat y, GLfloat z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0)
        return;
    x /= length;
    y /= length;
    z /= length;
    const float radians = degrees * 3.14159265358979f / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians), k = 1 - c;
    Matrix rotation;
    float* m = rotation.m;
    m[0] = x * x * k + c;
    m[1] = y * x * k + z * s;
    m[2] = x * z * k - y * s;
    m[4] = x * y * k - z * s;
    m[5] = y * y * k + c;
    m[6] = y * z * k + x * s;
    m[8] = x * z * k + y * s;
    m[9] = y * z * k - x * s;
    m[10] = z * z * k + c;
    glMultMatrixf(m);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    Matrix ortho;
    float* m = ortho.m;
    m[0] = static_cast<float>(2 / (right - left));
    m[5] = static_cast<float>(2 / (top - bottom));
    m[10] = static_cast<float>(-2 / (zFar - zNear));
    m[12] = static_cast<float>(-(right + left) / (right - left));
    m[13] = static_cast<float>(-(top + bottom) / (top - bottom));
    m[14] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
    glMultMatrixf(m);
}

void glFrustum(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    Matrix frustum;
    float* m = frustum.m;
    m[0] = static_cast<float>(2 * zNear / (right - left));
    m[5] = static_cast<float>(2 * zNear / (top - bottom));
    m[8] = static_cast<float>((right + left) / (right - left));
    m[9] = static_cast<float>((top + bottom) / (top - bottom));
    m[10] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
    m[11] = -1;
    m[14] = static_cast<float>(-2 * zFar * zNear / (zFar - zNear));
    m[15] = 0;
    glMultMatrixf(m);
}

// -- enables and pass-through state --

void glEnable(GLenum capability) {
    if (!recorded([=] { glEnable(capability); }))
        setEnabled(capability, true);
}

void glDisable(GLenum capability) {
    if (!recorded([=] { glDisable(capability); }))
        setEnabled(capability, false);
}

GLboolean glIsEnabled(GLenum capability) {
    const TextureUnit& unit = state.units[state.activeUnit];
    switch (capability) {
    case GL_TEXTURE_2D: return unit.enabled;
    case GL_BLEND: return state.blend;
    case GL_DEPTH_TEST: return state.depthTest;
    case GL_SCISSOR_TEST: return state.scissorTest;
    case GL_POINT_SPRITE: return state.pointSprite;
    default: return GL_FALSE;
    }
}

void glBlendFunc(GLenum source, GLenum destination) {
    if (recorded([=] { glBlendFunc(source, destination); }))
        return;
    state.blendSource = source;
    state.blendDestination = destination;
    emscripten_glBlendFunc(source, destination);
}

void glDepthFunc(GLenum function) {
    if (recorded([=] { glDepthFunc(function); }))
        return;
    state.depthFunction = function;
    emscripten_glDepthFunc(function);
}

void glDepthMask(GLboolean on) {
    if (recorded([=] { glDepthMask(on); }))
        return;
    state.depthMask = on;
    emscripten_glDepthMask(on);
}

void glColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a) {
    if (recorded([=] { glColorMask(r, g, b, a); }))
        return;
    keep(state.colorMask, r, g, b, a);
    emscripten_glColorMask(r, g, b, a);
}

void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (recorded([=] { glClearColor(r, g, b, a); }))
        return;
    keep(state.clearColor, r, g, b, a);
    emscripten_glClearColor(r, g, b, a);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (recorded([=] { glViewport(x, y, width, height); }))
        return;
    keep(state.viewport, x, y, width, height);
    emscripten_glViewport(x, y, width, height);
}

void glScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    if (recorded([=] { glScissor(x, y, width, height); }))
        return;
    keep(state.scissorBox, x, y, width, height);
    emscripten_glScissor(x, y, width, height);
}

void glDepthRange(GLdouble zNear, GLdouble zFar) {
    if (recorded([=] { glDepthRange(zNear, zFar); }))
        return;
    state.depthRange[0] = zNear;
    state.depthRange[1] = zFar;
    emscripten_glDepthRangef(static_cast<float>(zNear), static_cast<float>(zFar));
}

void glLineWidth(GLfloat width) {
    if (!recorded([=] { glLineWidth(width); }))
        state.lineWidth = width;
}

void glClear(GLbitfield mask) {
    if (!recorded([=] { glClear(mask); }))
        emscripten_glClear(mask);
}

void glClearDepth(GLdouble depth) {
    if (!recorded([=] { glClearDepth(depth); }))
        emscripten_glClearDepthf(static_cast<float>(depth));
}

void glPointSize(GLfloat size) {
    if (!recorded([=] { glPointSize(size); }))
        state.pointSize = size;
}

void glPointParameterf(GLenum name, GLfloat value) {
    if (recorded([=] { glPointParameterf(name, value); }))
        return;
    switch (name) {
    case GL_POINT_SIZE_MIN: state.pointSizeMin = value; break;
    case GL_POINT_SIZE_MAX: state.pointSizeMax = value; break;
    case GL_POINT_FADE_THRESHOLD_SIZE: state.pointFadeThreshold = value; break;
    default: break;
    }
}
void glPointParameterfARB(GLenum name, GLfloat value) { glPointParameterf(name, value); }

void glPointParameterfv(GLenum name, const GLfloat* values) {
    const int count = name == GL_POINT_DISTANCE_ATTENUATION ? 3 : 1;
    std::vector<GLfloat> given(values, values + count);
    if (recorded([=] { glPointParameterfv(name, given.data()); }))
        return;
    if (name == GL_POINT_DISTANCE_ATTENUATION)
        std::memcpy(state.pointAttenuation, values, sizeof state.pointAttenuation);
    else
        glPointParameterf(name, values[0]);
}
void glPointParameterfvARB(GLenum name, const GLfloat* values) { glPointParameterfv(name, values); }

void glPolygonMode(GLenum, GLenum mode) {
    if (!recorded([=] { glPolygonMode(GL_FRONT_AND_BACK, mode); }))
        state.polygonMode = mode;
}

// -- textures --

void glActiveTexture(GLenum unit) {
    if (recorded([=] { glActiveTexture(unit); }))
        return;
    const unsigned index = unit - GL_TEXTURE0;
    state.activeUnit = index < textureUnits ? static_cast<int>(index) : textureUnits - 1;
}
void glActiveTextureARB(GLenum unit) { glActiveTexture(unit); }

void glBindTexture(GLenum target, GLuint texture) {
    if (recorded([=] { glBindTexture(target, texture); }))
        return;
    state.units[state.activeUnit].binding = texture;
    emscripten_glActiveTexture(GL_TEXTURE0 + state.activeUnit);
    emscripten_glBindTexture(target, texture);
}

void glTexEnvf(GLenum target, GLenum name, GLfloat value) {
    if (recorded([=] { glTexEnvf(target, name, value); }))
        return;
    TextureUnit& unit = state.units[state.activeUnit];
    if (target == GL_POINT_SPRITE && name == GL_COORD_REPLACE)
        state.coordReplace = value != 0;
    else if (name == GL_TEXTURE_ENV_MODE)
        unit.environment = static_cast<GLenum>(value);
    else if (name == GL_COMBINE_RGB)
        unit.combineRgb = static_cast<GLenum>(value);
}
void glTexEnvi(GLenum target, GLenum name, GLint value) { glTexEnvf(target, name, static_cast<GLfloat>(value)); }

void glTexGeni(GLenum, GLenum, GLint) {}  // eye-linear is the one mode drawn, in a list too

// The plane is kept in eye space, multiplied by the inverse of the modelview
// matrix of the moment, as OpenGL keeps it.
void glTexGenfv(GLenum coordinate, GLenum name, const GLfloat* plane) {
    if (name != GL_EYE_PLANE || coordinate < GL_S || coordinate > GL_Q)
        return;
    std::vector<GLfloat> given(plane, plane + 4);
    if (recorded([=] { glTexGenfv(coordinate, name, given.data()); }))
        return;
    const Matrix inverseModelview = inverse(state.modelview.back());
    float* kept = state.units[state.activeUnit].eyePlanes[coordinate - GL_S];
    for (int column = 0; column < 4; ++column) {
        float sum = 0;
        for (int k = 0; k < 4; ++k)
            sum += plane[k] * inverseModelview.m[column * 4 + k];
        kept[column] = sum;
    }
}

void glTexParameteri(GLenum target, GLenum name, GLint value) {
    if (!recorded([=] { glTexParameteri(target, name, value); }))
        emscripten_glTexParameteri(target, name, value);
}

void glCopyTexSubImage2D(GLenum target, GLint level, GLint xOffset, GLint yOffset, GLint x, GLint y, GLsizei width,
                         GLsizei height) {
    if (!recorded([=] { glCopyTexSubImage2D(target, level, xOffset, yOffset, x, y, width, height); }))
        emscripten_glCopyTexSubImage2D(target, level, xOffset, yOffset, x, y, width, height);
}

// WebGL 2 takes an unsized internal format only when it is the format of the
// pixels given: OpenGL 1's component counts (3, 4) become that format. RGBA
// pixels for a texture of three components lose their alpha there (it
// samples as 1): here they get an opaque one.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels) {
    if (refusedInList("glTexImage2D"))
        return;
    const bool colourOnly = internalFormat == 3 || internalFormat == GL_RGB || internalFormat == GL_RGB8;
    std::vector<unsigned char> opaque;
    if (colourOnly && format == GL_RGBA && type == GL_UNSIGNED_BYTE && pixels && width > 0 && height > 0) {
        const auto* bytes = static_cast<const unsigned char*>(pixels);
        opaque.assign(bytes, bytes + static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        for (std::size_t alpha = 3; alpha < opaque.size(); alpha += 4)
            opaque[alpha] = 255;
        pixels = opaque.data();
    }
    if (type == GL_UNSIGNED_BYTE && (format == GL_RGBA || format == GL_RGB))
        internalFormat = static_cast<GLint>(format);
    emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

// -- display lists --

GLuint glGenLists(GLsizei range) {
    const GLuint first = static_cast<GLuint>(lists.bodies.size()) + 1;
    lists.bodies.resize(lists.bodies.size() + static_cast<std::size_t>(range));
    lists.made.resize(lists.bodies.size(), false);
    return first;
}

void glNewList(GLuint list, GLenum mode) {
    if (list == 0 || list > lists.bodies.size())
        return;
    lists.bodies[list - 1].clear();
    lists.made[list - 1] = true;
    lists.compiling = list;
    lists.executeToo = mode == GL_COMPILE_AND_EXECUTE;
}

void glEndList() { lists.compiling = 0; }

void glDeleteLists(GLuint list, GLsizei range) {
    for (GLuint n = list; n < list + static_cast<GLuint>(range) && n <= lists.bodies.size(); ++n) {
        lists.bodies[n - 1].clear();
        lists.made[n - 1] = false;
    }
}

void glCallList(GLuint list) {
    if (recorded([=] { glCallList(list); }))
        return;
    if (list == 0 || list > lists.bodies.size() || !lists.made[list - 1])
        return;
    // No recorded call makes or deletes a list: the body stays as it is.
    for (const std::function<void()>& call : lists.bodies[list - 1])
        call();
}

void glListBase(GLuint base) {
    if (!recorded([=] { glListBase(base); }))
        state.listBase = base;
}

// Recorded with the names as they are now, called from the base of the
// moment the list runs, as OpenGL does.
void glCallLists(GLsizei count, GLenum type, const void* names) {
    std::vector<GLint> offsets;
    for (GLsizei i = 0; i < count; ++i) {
        switch (type) {
        case GL_BYTE: offsets.push_back(static_cast<const signed char*>(names)[i]); break;
        case GL_UNSIGNED_BYTE: offsets.push_back(static_cast<const unsigned char*>(names)[i]); break;
        case GL_INT: offsets.push_back(static_cast<const GLint*>(names)[i]); break;
        case GL_UNSIGNED_INT: offsets.push_back(static_cast<GLint>(static_cast<const GLuint*>(names)[i])); break;
        default: return;
        }
    }
    if (recorded([=] { glCallLists(static_cast<GLsizei>(offsets.size()), GL_INT, offsets.data()); }))
        return;
    for (GLint offset : offsets)
        glCallList(static_cast<GLuint>(static_cast<long>(state.listBase) + offset));
}

// -- attribute stacks --

void glPushAttrib(GLbitfield mask) {
    if (!recorded([=] { glPushAttrib(mask); }))
        attributeStack.push_back({mask, state});
}

void glPopAttrib() {
    if (recorded([] { glPopAttrib(); }))
        return;
    if (attributeStack.empty())
        return;
    const PushedAttributes pushed = attributeStack.back();
    attributeStack.pop_back();
    restoreAttributes(pushed);
}

void glPushClientAttrib(GLbitfield) { clientAttributeStack.push_back(state); }

void glPopClientAttrib() {
    if (clientAttributeStack.empty())
        return;
    const State& saved = clientAttributeStack.back();
    state.vertexArray = saved.vertexArray;
    for (int u = 0; u < textureUnits; ++u)
        state.texCoordArrays[u] = saved.texCoordArrays[u];
    state.clientActiveUnit = saved.clientActiveUnit;
    clientAttributeStack.pop_back();
}

// -- buffers and client arrays --

void glGenBuffers(GLsizei count, GLuint* buffers) { emscripten_glGenBuffers(count, buffers); }
void glGenBuffersARB(GLsizei count, GLuint* buffers) { glGenBuffers(count, buffers); }

void glBindBuffer(GLenum target, GLuint buffer) {
    if (target == GL_ARRAY_BUFFER)
        state.arrayBuffer = buffer;
    emscripten_glBindBuffer(target, buffer);
}
void glBindBufferARB(GLenum target, GLuint buffer) { glBindBuffer(target, buffer); }

void glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
    if (target == GL_ARRAY_BUFFER && state.arrayBuffer != 0) {
        if (bufferContents.size() <= state.arrayBuffer)
            bufferContents.resize(state.arrayBuffer + 1);
        const auto* bytes = static_cast<const unsigned char*>(data);
        bufferContents[state.arrayBuffer].assign(bytes, bytes + (data ? size : 0));
    }
    emscripten_glBufferData(target, size, data, usage);
}
void glBufferDataARB(GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
    glBufferData(target, size, data, usage);
}

void glDeleteBuffers(GLsizei count, const GLuint* buffers) {
    for (GLsizei i = 0; i < count; ++i)
        if (buffers[i] < bufferContents.size())
            bufferContents[buffers[i]].clear();
    emscripten_glDeleteBuffers(count, buffers);
}
void glDeleteBuffersARB(GLsizei count, const GLuint* buffers) { glDeleteBuffers(count, buffers); }

void glEnableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY)
        state.vertexArray.enabled = true;
    else if (array == GL_TEXTURE_COORD_ARRAY)
        state.texCoordArrays[state.clientActiveUnit].enabled = true;
}

void glDisableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY)
        state.vertexArray.enabled = false;
    else if (array == GL_TEXTURE_COORD_ARRAY)
        state.texCoordArrays[state.clientActiveUnit].enabled = false;
}

void glVertexPointer(GLint size, GLenum, GLsizei stride, const void* pointer) {
    state.vertexArray.size = size;
    state.vertexArray.stride = stride;
    state.vertexArray.pointer = pointer;
    state.vertexArray.buffer = state.arrayBuffer;
}

void glTexCoordPointer(GLint size, GLenum, GLsizei stride, const void* pointer) {
    ClientArray& array = state.texCoordArrays[state.clientActiveUnit];
    array.size = size;
    array.stride = stride;
    array.pointer = pointer;
    array.buffer = state.arrayBuffer;
}

// The arrays' elements are gathered into the stream as immediate mode's
// vertices are: the engine draws a few thousand triangles this way a frame.
// In a list the arrays are read as the list is made, as OpenGL reads them;
// what no array gives (the colour, a unit's coordinates without an array) is
// the current one of the moment the list runs.
void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (!state.vertexArray.enabled || count <= 0)
        return;
    const ArrayVertices gathered = gatherArrays(first, count);
    if (recorded([=] { drawGathered(mode, gathered); }))
        return;
    drawGathered(mode, gathered);
}

// -- queries --

void glGetFloatv(GLenum name, GLfloat* values) {
    switch (name) {
    case GL_MODELVIEW_MATRIX: std::memcpy(values, state.modelview.back().m, 16 * sizeof(float)); return;
    case GL_PROJECTION_MATRIX: std::memcpy(values, state.projection.back().m, 16 * sizeof(float)); return;
    case GL_CURRENT_COLOR: std::memcpy(values, state.color, 4 * sizeof(float)); return;
    case GL_POINT_SIZE: values[0] = state.pointSize; return;
    default: emscripten_glGetFloatv(name, values);
    }
}

void glGetIntegerv(GLenum name, GLint* values) {
    switch (name) {
    case GL_VIEWPORT: std::memcpy(values, state.viewport, sizeof state.viewport); return;
    case GL_MATRIX_MODE: values[0] = static_cast<GLint>(state.matrixMode); return;
    case GL_MAX_TEXTURE_UNITS: values[0] = textureUnits; return;
    case GL_MAX_RENDERBUFFER_SIZE_EXT: emscripten_glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, values); return;
    default: emscripten_glGetIntegerv(name, values);
    }
}

const GLubyte* glGetString(GLenum name) {
    if (name == GL_EXTENSIONS)
        return reinterpret_cast<const GLubyte*>(extensionString);
    return emscripten_glGetString(name);
}

}  // extern "C"

// The extension functions this layer carries out, by name, for SDL's lookup
// (LinkReplacements.cpp); null for the rest, which WebGL's own lookup answers.
void* tarnix::webgl::layerEntryPoint(const char* name) {
    struct Entry {
        const char* name;
        void* function;
    };
    static const Entry entries[] = {
        {"glActiveTextureARB", reinterpret_cast<void*>(glActiveTextureARB)},
        {"glMultiTexCoord2fARB", reinterpret_cast<void*>(glMultiTexCoord2fARB)},
        {"glGenBuffersARB", reinterpret_cast<void*>(glGenBuffersARB)},
        {"glBindBufferARB", reinterpret_cast<void*>(glBindBufferARB)},
        {"glBufferDataARB", reinterpret_cast<void*>(glBufferDataARB)},
        {"glDeleteBuffersARB", reinterpret_cast<void*>(glDeleteBuffersARB)},
        {"glPointParameterfARB", reinterpret_cast<void*>(glPointParameterfARB)},
        {"glPointParameterfvARB", reinterpret_cast<void*>(glPointParameterfvARB)},
    };
    for (const Entry& entry : entries)
        if (std::strcmp(entry.name, name) == 0)
            return entry.function;
    return nullptr;
}

