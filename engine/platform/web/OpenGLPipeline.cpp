// The drawing half of the web build's OpenGL 1.x layer: the fixed-function
// state turned into uniforms of one shader program, and vertices streamed to
// WebGL 2 in an order it draws.

#include "engine/platform/web/OpenGLPipeline.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstddef>
#include <cstring>

namespace tarnix::webgl {

State state;

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix product;
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[k * 4 + row] * b.m[column * 4 + k];
            product.m[column * 4 + row] = sum;
        }
    return product;
}

Matrix inverse(const Matrix& matrix) {
    const float* m = matrix.m;
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const float determinant = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    Matrix result;
    if (determinant == 0)
        return result;
    for (int i = 0; i < 16; ++i)
        result.m[i] = inv[i] / determinant;
    return result;
}

namespace {

// ---- The shader ----

const char* const vertexSource = R"(#version 300 es
in vec4 position;
in vec4 color;
in vec4 texCoord0;
in vec4 texCoord1;
uniform mat4 modelview;
uniform mat4 projection;
uniform mat4 textureMatrix[2];
uniform bvec4 generate[2];
uniform mat4 eyePlanes[2];  // column i is the plane of coordinate i
uniform float pointSize;
uniform vec3 pointAttenuation;
uniform vec3 pointLimits;  // least, most, fade threshold
out vec4 vColor;
out vec4 vTexCoord0;
out vec4 vTexCoord1;
vec4 generated(vec4 given, bvec4 which, mat4 planes, vec4 eye) {
    for (int i = 0; i < 4; ++i)
        if (which[i])
            given[i] = dot(planes[i], eye);
    return given;
}
void main() {
    vec4 eye = modelview * position;
    gl_Position = projection * eye;
    vTexCoord0 = textureMatrix[0] * generated(texCoord0, generate[0], eyePlanes[0], eye);
    vTexCoord1 = textureMatrix[1] * generated(texCoord1, generate[1], eyePlanes[1], eye);
    float d = length(eye.xyz);
    float attenuation = pointAttenuation.x + pointAttenuation.y * d + pointAttenuation.z * d * d;
    float size = clamp(pointSize * inversesqrt(max(attenuation, 1e-9)), pointLimits.x, pointLimits.y);
    vColor = color;
    if (size < pointLimits.z) {
        float fade = size / pointLimits.z;
        vColor.a *= fade * fade;
        size = pointLimits.z;
    }
    gl_PointSize = size;
}
)";

const char* const fragmentSource = R"(#version 300 es
precision highp float;
in vec4 vColor;
in vec4 vTexCoord0;
in vec4 vTexCoord1;
uniform sampler2D sampler0;
uniform sampler2D sampler1;
uniform bool textured[2];
uniform int environment[2];  // 0 modulate, 1 replace, 2 decal, 3 add, 4 combine: modulate, 5 combine: add
uniform bool spriteCoordinates;
out vec4 fragmentColor;
vec4 combine(int mode, vec4 previous, vec4 texel) {
    if (mode == 1) return texel;
    if (mode == 2) return vec4(mix(previous.rgb, texel.rgb, texel.a), previous.a);
    if (mode == 3) return vec4(min(previous.rgb + texel.rgb, 1.0), previous.a * texel.a);
    if (mode == 5) return vec4(min(previous.rgb + texel.rgb, 1.0), previous.a * texel.a);
    return previous * texel;
}
void main() {
    vec4 colour = vColor;
    if (textured[0]) {
        vec2 st = spriteCoordinates ? gl_PointCoord : vTexCoord0.xy / vTexCoord0.w;
        colour = combine(environment[0], colour, texture(sampler0, st));
    }
    if (textured[1])
        colour = combine(environment[1], colour, texture(sampler1, vTexCoord1.xy / vTexCoord1.w));
    fragmentColor = colour;
}
)";

enum Attribute : GLuint { positionAttribute, colorAttribute, texCoord0Attribute, texCoord1Attribute };

struct Program {
    GLuint id = 0;
    GLint modelview = -1, projection = -1, textureMatrix = -1, generate = -1, eyePlanes = -1;
    GLint pointSize = -1, pointAttenuation = -1, pointLimits = -1;
    GLint textured = -1, environment = -1, spriteCoordinates = -1;
    GLuint streamBuffer = 0;  // the vertices of immediate mode and client arrays
    GLuint vertexArray = 0;
};
Program program;

GLuint compile(GLenum kind, const char* source) {
    const GLuint shader = emscripten_glCreateShader(kind);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    return shader;
}

void makeProgram() {
    program.id = emscripten_glCreateProgram();
    emscripten_glAttachShader(program.id, compile(GL_VERTEX_SHADER, vertexSource));
    emscripten_glAttachShader(program.id, compile(GL_FRAGMENT_SHADER, fragmentSource));
    emscripten_glBindAttribLocation(program.id, positionAttribute, "position");
    emscripten_glBindAttribLocation(program.id, colorAttribute, "color");
    emscripten_glBindAttribLocation(program.id, texCoord0Attribute, "texCoord0");
    emscripten_glBindAttribLocation(program.id, texCoord1Attribute, "texCoord1");
    emscripten_glLinkProgram(program.id);
    const GLuint id = program.id;
    auto where = [id](const char* name) { return emscripten_glGetUniformLocation(id, name); };
    program.modelview = where("modelview");
    program.projection = where("projection");
    program.textureMatrix = where("textureMatrix");
    program.generate = where("generate");
    program.eyePlanes = where("eyePlanes");
    program.pointSize = where("pointSize");
    program.pointAttenuation = where("pointAttenuation");
    program.pointLimits = where("pointLimits");
    program.textured = where("textured");
    program.environment = where("environment");
    program.spriteCoordinates = where("spriteCoordinates");
    emscripten_glUseProgram(program.id);
    emscripten_glUniform1i(where("sampler0"), 0);
    emscripten_glUniform1i(where("sampler1"), 1);
    emscripten_glGenBuffers(1, &program.streamBuffer);
    emscripten_glGenVertexArrays(1, &program.vertexArray);
}

int environmentCode(const TextureUnit& unit) {
    switch (unit.environment) {
    case GL_REPLACE: return 1;
    case GL_DECAL: return 2;
    case GL_ADD: return 3;
    case GL_COMBINE: return unit.combineRgb == GL_ADD ? 5 : unit.combineRgb == GL_REPLACE ? 1 : 4;
    default: return 0;
    }
}

void setUniforms(bool points) {
    if (program.id == 0)
        makeProgram();
    emscripten_glUseProgram(program.id);
    emscripten_glUniformMatrix4fv(program.modelview, 1, GL_FALSE, state.modelview.back().m);
    emscripten_glUniformMatrix4fv(program.projection, 1, GL_FALSE, state.projection.back().m);
    float textureMatrices[2][16];
    GLint generate[2][4];
    float planes[2][16];
    GLint textured[2];
    GLint environments[2];
    for (int u = 0; u < textureUnits; ++u) {
        const TextureUnit& unit = state.units[u];
        std::memcpy(textureMatrices[u], unit.matrices.back().m, sizeof textureMatrices[u]);
        for (int i = 0; i < 4; ++i) {
            generate[u][i] = unit.generate[i];
            for (int k = 0; k < 4; ++k)
                planes[u][i * 4 + k] = unit.eyePlanes[i][k];
        }
        textured[u] = unit.enabled && unit.binding != 0;
        environments[u] = environmentCode(unit);
    }
    emscripten_glUniformMatrix4fv(program.textureMatrix, 2, GL_FALSE, &textureMatrices[0][0]);
    emscripten_glUniform4iv(program.generate, 2, &generate[0][0]);
    emscripten_glUniformMatrix4fv(program.eyePlanes, 2, GL_FALSE, &planes[0][0]);
    emscripten_glUniform1iv(program.textured, 2, textured);
    emscripten_glUniform1iv(program.environment, 2, environments);
    emscripten_glUniform1f(program.pointSize, state.pointSize);
    emscripten_glUniform3fv(program.pointAttenuation, 1, state.pointAttenuation);
    const float limits[3] = {state.pointSizeMin, state.pointSizeMax, state.pointFadeThreshold};
    emscripten_glUniform3fv(program.pointLimits, 1, limits);
    emscripten_glUniform1i(program.spriteCoordinates, points && state.pointSprite && state.coordReplace);
}

}  // namespace

// ---- Drawing ----

// The WebGL primitive for a fixed-function one, after the vertices have been
// put into an order WebGL draws: quads become triangles, polygons fans, and
// in wireframe every polygon its edges.
GLenum webglPrimitive(GLenum mode, std::vector<Vertex>& vertices) {
    auto quadsAsTriangles = [&vertices] {
        std::vector<Vertex> triangles;
        for (std::size_t q = 0; q + 3 < vertices.size(); q += 4)
            for (int corner : {0, 1, 2, 0, 2, 3})
                triangles.push_back(vertices[q + corner]);
        vertices.swap(triangles);
    };
    auto edges = [&vertices](const std::vector<std::vector<std::size_t>>& polygons) {
        std::vector<Vertex> lines;
        for (const auto& polygon : polygons)
            for (std::size_t i = 0; i < polygon.size(); ++i) {
                lines.push_back(vertices[polygon[i]]);
                lines.push_back(vertices[polygon[(i + 1) % polygon.size()]]);
            }
        vertices.swap(lines);
    };
    const bool polygonal = mode == GL_TRIANGLES || mode == GL_TRIANGLE_STRIP || mode == GL_TRIANGLE_FAN ||
                           mode == GL_QUADS || mode == GL_QUAD_STRIP || mode == GL_POLYGON;
    if (polygonal && state.polygonMode == GL_LINE) {
        std::vector<std::vector<std::size_t>> polygons;
        const std::size_t n = vertices.size();
        switch (mode) {
        case GL_TRIANGLES:
            for (std::size_t i = 0; i + 2 < n; i += 3)
                polygons.push_back({i, i + 1, i + 2});
            break;
        case GL_TRIANGLE_STRIP:
            for (std::size_t i = 0; i + 2 < n; ++i)
                polygons.push_back({i, i + 1, i + 2});
            break;
        case GL_TRIANGLE_FAN:
            for (std::size_t i = 1; i + 1 < n; ++i)
                polygons.push_back({0, i, i + 1});
            break;
        case GL_QUADS:
            for (std::size_t i = 0; i + 3 < n; i += 4)
                polygons.push_back({i, i + 1, i + 2, i + 3});
            break;
        case GL_QUAD_STRIP:
            for (std::size_t i = 0; i + 3 < n; i += 2)
                polygons.push_back({i, i + 1, i + 3, i + 2});
            break;
        default: {
            std::vector<std::size_t> all;
            for (std::size_t i = 0; i < n; ++i)
                all.push_back(i);
            polygons.push_back(all);
        }
        }
        edges(polygons);
        return GL_LINES;
    }
    switch (mode) {
    case GL_QUADS: quadsAsTriangles(); return GL_TRIANGLES;
    case GL_QUAD_STRIP: return GL_TRIANGLE_STRIP;
    case GL_POLYGON: return GL_TRIANGLE_FAN;
    default: return mode;
    }
}

void drawVertices(GLenum mode, std::vector<Vertex>& vertices) {
    if (vertices.empty())
        return;
    const GLenum primitive = webglPrimitive(mode, vertices);
    setUniforms(primitive == GL_POINTS);
    emscripten_glBindVertexArray(program.vertexArray);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, program.streamBuffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                            vertices.data(), GL_STREAM_DRAW);
    auto attribute = [](GLuint index, std::size_t offset) {
        emscripten_glEnableVertexAttribArray(index);
        emscripten_glVertexAttribPointer(index, 4, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                         reinterpret_cast<const void*>(offset));
    };
    attribute(positionAttribute, offsetof(Vertex, position));
    attribute(colorAttribute, offsetof(Vertex, color));
    attribute(texCoord0Attribute, offsetof(Vertex, texCoords));
    attribute(texCoord1Attribute, offsetof(Vertex, texCoords) + 4 * sizeof(float));
    for (int u = 0; u < textureUnits; ++u) {
        emscripten_glActiveTexture(GL_TEXTURE0 + u);
        emscripten_glBindTexture(GL_TEXTURE_2D, state.units[u].binding);
    }
    emscripten_glActiveTexture(GL_TEXTURE0 + state.activeUnit);
    emscripten_glDrawArrays(primitive, 0, static_cast<GLsizei>(vertices.size()));
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, state.arrayBuffer);
}

void applyPassThroughState() {
    auto toggle = [](GLenum capability, bool on) { on ? emscripten_glEnable(capability) : emscripten_glDisable(capability); };
    toggle(GL_BLEND, state.blend);
    toggle(GL_DEPTH_TEST, state.depthTest);
    toggle(GL_SCISSOR_TEST, state.scissorTest);
    toggle(GL_CULL_FACE, state.cullFace);
    emscripten_glBlendFunc(state.blendSource, state.blendDestination);
    emscripten_glDepthFunc(state.depthFunction);
    emscripten_glDepthMask(state.depthMask);
    emscripten_glColorMask(state.colorMask[0], state.colorMask[1], state.colorMask[2], state.colorMask[3]);
    emscripten_glClearColor(state.clearColor[0], state.clearColor[1], state.clearColor[2], state.clearColor[3]);
    emscripten_glViewport(state.viewport[0], state.viewport[1], state.viewport[2], state.viewport[3]);
    emscripten_glScissor(state.scissorBox[0], state.scissorBox[1], state.scissorBox[2], state.scissorBox[3]);
    emscripten_glDepthRangef(static_cast<float>(state.depthRange[0]), static_cast<float>(state.depthRange[1]));
}

}  // namespace tarnix::webgl
