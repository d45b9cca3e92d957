// Normals, vertex buffers and drawing of MeshObject.

#include "engine/mesh/MeshObject.h"

#include "engine/core/Extensions.h"
#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "engine/io/FileIO.h"

#include <algorithm>
#include <cstdio>
#include <vector>

using tarnix::uv_coord;
using tarnix::Vector;

namespace {

const Vector origin;
const uv_coord noTexCoord;

const Vector& vertexOf(const MeshFacePoint& corner) { return corner.vertex ? *corner.vertex : origin; }

const uv_coord& texCoordOf(const MeshFacePoint& corner) { return corner.texCoord ? *corner.texCoord : noTexCoord; }

bool isComplete(const MeshFaceTriangle& triangle) {
    return triangle.points[0].vertex && triangle.points[1].vertex && triangle.points[2].vertex;
}

}  // namespace

// ---- Normals ----

Vector MeshObject::getNormal(const Vector& a, const Vector& b, const Vector& c) {
    const Vector e1 = a - b;
    const Vector e2 = b - c;
    return e1.crossProduct(e2).normalize();
}

void MeshObject::calculateNormals(unsigned object) {
    MeshSubObject& sub = getObject(object);
    for (unsigned t = 0; t < sub.getFaceTriangleSize(); ++t) {
        MeshFaceTriangle& triangle = sub.getFaceTriangles()[t];
        const MeshFacePoint* corner = triangle.points;
        triangle.normal = getNormal(vertexOf(corner[0]), vertexOf(corner[1]), vertexOf(corner[2]));
    }
}

void MeshObject::calculateNormals() {
    for (unsigned o = 0; o < objectSize; ++o)
        calculateNormals(o);
}

// ---- Vertex buffers ----

// Corners missing from a damaged mesh go into the buffers as zeros, so the
// buffer always holds 3 vertices per triangle.
void MeshSubObject::buildSubObject() {
    using namespace tarnix;
    std::vector<float> corners;
    corners.reserve(static_cast<std::size_t>(faceTriangleSize) * 9);
    for (unsigned t = 0; t < faceTriangleSize; ++t)
        for (const MeshFacePoint& corner : faceTriangles[t].points) {
            const Vector& vertex = vertexOf(corner);
            corners.insert(corners.end(), {vertex.x, vertex.y, vertex.z});
        }
    glGenBuffersARB(1, &vertexBuffer);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertexBuffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(corners.size() * sizeof(float)), corners.data(),
                    GL_STATIC_DRAW_ARB);
    if (!hasTexCoord())
        return;
    std::vector<float> coordinates;
    coordinates.reserve(static_cast<std::size_t>(faceTriangleSize) * 6);
    for (unsigned t = 0; t < faceTriangleSize; ++t)
        for (const MeshFacePoint& corner : faceTriangles[t].points) {
            const uv_coord& texCoord = texCoordOf(corner);
            coordinates.insert(coordinates.end(), {texCoord.u, texCoord.v});
        }
    glGenBuffersARB(1, &texCoordBuffer);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, texCoordBuffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(coordinates.size() * sizeof(float)),
                    coordinates.data(), GL_STATIC_DRAW_ARB);
}

namespace {

bool bufferEntryPointsPresent() {
    return tarnix::init.useVertexBufferObjects() && tarnix::glGenBuffersARB && tarnix::glBindBufferARB &&
           tarnix::glBufferDataARB;
}

}  // namespace

void MeshObject::buildObject() {
    calculateNormals();
    if (!bufferEntryPointsPresent())
        return;
    for (unsigned o = 0; o < objectSize; ++o)
        objects[o].buildSubObject();
}

// The old sub-objects' buffers go only once the new mesh has read, so that a
// file that does not read leaves the mesh drawing as before.
bool MeshObject::reloadFile(const char* fileName) {
    std::vector<GLuint> oldBuffers;
    for (unsigned o = 0; o < objectSize; ++o)
        for (GLuint buffer : {objects[o].vertexBuffer, objects[o].texCoordBuffer})
            if (buffer != 0)
                oldBuffers.push_back(buffer);
    if (!tarnix::FileIO(fileName)) {
        std::fprintf(stderr, "tarnix: %s: cannot open the mesh; the old one stays\n", fileName);
        return false;
    }
    if (!readFile(fileName))
        return false;  // damaged: readFile has said so
    if (!oldBuffers.empty() && tarnix::glDeleteBuffersARB)
        tarnix::glDeleteBuffersARB(static_cast<GLsizei>(oldBuffers.size()), oldBuffers.data());
    buildObject();
    return true;
}

// ---- Drawing ----

namespace {

void drawFromBuffers(const MeshSubObject& sub, unsigned firstVertex, unsigned triangles) {
    using namespace tarnix;
    // Never ask OpenGL for vertices past the buffer's end.
    const unsigned bufferVertices = 3 * sub.getFaceTriangleSize();
    if (firstVertex >= bufferVertices || sub.vertexBuffer == 0)
        return;
    const unsigned vertices = std::min(3 * triangles, bufferVertices - firstVertex);
    const bool textured = sub.hasTexCoord() && sub.texCoordBuffer != 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    if (textured)
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, sub.vertexBuffer);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    if (textured) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, sub.texCoordBuffer);
        glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
    }
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(firstVertex), static_cast<GLsizei>(vertices));
    glDisableClientState(GL_VERTEX_ARRAY);
    if (textured)
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void emitNormal(const MeshFaceTriangle& triangle) {
    if (triangle.normal)
        glNormal3f(triangle.normal->x, triangle.normal->y, triangle.normal->z);
}

// Untextured sub-objects draw every triangle whatever first and count say;
// textured ones draw triangles first .. end-1 with (v, u) as (s, t).
void drawImmediately(const MeshSubObject& sub, unsigned first, unsigned end) {
    const MeshFaceTriangle* triangles = sub.getFaceTriangles();
    glPushMatrix();
    glBegin(GL_TRIANGLES);
        if (!sub.hasTexCoord()) {
            for (unsigned t = 0; t < sub.getFaceTriangleSize(); ++t) {
                if (!isComplete(triangles[t]))
                    continue;
                emitNormal(triangles[t]);
                for (const MeshFacePoint& corner : triangles[t].points)
                    glVertex3f(corner.vertex->x, corner.vertex->y, corner.vertex->z);
            }
        } else {
            for (unsigned t = first; t < end; ++t) {
                if (!isComplete(triangles[t]))
                    continue;
                emitNormal(triangles[t]);
                for (const MeshFacePoint& corner : triangles[t].points) {
                    const uv_coord& texCoord = texCoordOf(corner);
                    glTexCoord2f(texCoord.v, texCoord.u);
                    glVertex3f(corner.vertex->x, corner.vertex->y, corner.vertex->z);
                }
            }
        }
    glEnd();
    glPopMatrix();
}

}  // namespace

void MeshObject::drawSubObject(unsigned object, unsigned first, unsigned count) {
    const MeshSubObject& sub = getObject(object);
    const unsigned total = sub.getFaceTriangleSize();
    if (total == 0)
        return;
    const unsigned triangles = count == 0 ? total : count % total;
    if (bufferEntryPointsPresent())
        drawFromBuffers(sub, first, triangles);
    else
        drawImmediately(sub, first, triangles);
}

void MeshObject::drawObject(unsigned first, unsigned count) {
    for (unsigned o = 0; o < objectSize; ++o)
        drawSubObject(o, first, count);
}
