#include "engine/mesh/MeshObject.h"

#include "engine/core/Extensions.h"
#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "support/GlState.h"

#include <gtest/gtest.h>

using namespace testsupport;
using tarnix::Vector;

namespace {

// A strip of `count` unit squares side by side along x, drawn in the 2D view
// of a count × 1 system. Square i is triangle 2i below its diagonal (corners
// (i,0) (i+1,0) (i+1,1)) and triangle 2i+1 above it.
void buildStrip(MeshObject& mesh, unsigned count, bool textured) {
    mesh.setObjectSize(1);
    MeshSubObject& sub = mesh.getObject(0);
    sub.setVertexSize(2 * (count + 1));
    for (unsigned i = 0; i <= count; ++i) {
        sub.getVertices()[2 * i] = Vector(float(i), 0, 0);
        sub.getVertices()[2 * i + 1] = Vector(float(i), 1, 0);
    }
    if (textured)
        sub.setTexCoordSize(2 * (count + 1));
    sub.setFaceTriangleSize(2 * count);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned corners[2][3] = {{2 * i, 2 * i + 2, 2 * i + 3}, {2 * i, 2 * i + 3, 2 * i + 1}};
        for (unsigned half = 0; half < 2; ++half)
            for (unsigned k = 0; k < 3; ++k) {
                MeshFacePoint& point = sub.getFaceTriangles()[2 * i + half].points[k];
                point.vertex = &sub.getVertices()[corners[half][k]];
                if (textured)
                    point.texCoord = &sub.getTexCoords()[corners[half][k]];
            }
    }
}

// Which triangles came out white: each is sampled at a quarter of its
// square's height from the bottom (even) or from the top (odd).
std::vector<bool> drawnTriangles(MeshObject& mesh, unsigned squares, unsigned first, unsigned count) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    tarnix::viewReset();
    tarnix::perspective2D(static_cast<int>(squares), 1);
    glColor3f(1, 1, 1);
    mesh.drawSubObject(0, first, count);
    tarnix::perspective3D();
    glFinish();
    std::vector<bool> white;
    for (unsigned i = 0; i < 2 * squares; ++i)
        white.push_back(pixelAt(static_cast<int>((640 * (i / 2) + 320) / squares), i % 2 ? 360 : 120)[0] == 255);
    return white;
}

// The triangles expected white, by index.
std::vector<bool> only(unsigned total, std::vector<unsigned> drawn) {
    std::vector<bool> white(total, false);
    for (unsigned i : drawn)
        white[i] = true;
    return white;
}

// Runs the test body with the immediate path forced: without the buffer
// entry point the mesh draws in immediate mode.
class ImmediatePath {
public:
    ImmediatePath() : saved(tarnix::glBindBufferARB) { tarnix::glBindBufferARB = nullptr; }
    ~ImmediatePath() { tarnix::glBindBufferARB = saved; }

private:
    PFNGLBINDBUFFERARBPROC saved;
};

}  // namespace

TEST(MeshDrawTest, BufferPathDrawsCountTrianglesFromAVertexAndNeverPastTheBuffer) {
    MeshObject mesh;
    buildStrip(mesh, 4, true);
    mesh.buildObject();
    const MeshSubObject& sub = mesh.getObject(0);
    EXPECT_NE(sub.vertexBuffer, 0u);
    EXPECT_NE(sub.texCoordBuffer, 0u);
    EXPECT_EQ(drawnTriangles(mesh, 4, 0, 0), only(8, {0, 1, 2, 3, 4, 5, 6, 7}));  // count 0: all
    EXPECT_EQ(drawnTriangles(mesh, 4, 0, 8), only(8, {}));                        // count T: none
    EXPECT_EQ(drawnTriangles(mesh, 4, 6, 2), only(8, {2, 3}));                    // vertex 6 starts triangle 2
    EXPECT_EQ(drawnTriangles(mesh, 4, 0, 11), only(8, {0, 1, 2}));                // 11 mod 8 = 3
    // Three triangles from vertex 18 (triangle 6) would run past the buffer's
    // 24 vertices: only triangles 6 and 7 are drawn.
    EXPECT_EQ(drawnTriangles(mesh, 4, 18, 3), only(8, {6, 7}));
    EXPECT_EQ(drawnTriangles(mesh, 4, 24, 1), only(8, {}));
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(MeshDrawTest, AnUntexturedSubObjectHasOnlyAVertexBuffer) {
    MeshObject mesh;
    buildStrip(mesh, 2, false);
    mesh.buildObject();
    EXPECT_NE(mesh.getObject(0).vertexBuffer, 0u);
    EXPECT_EQ(mesh.getObject(0).texCoordBuffer, 0u);
    EXPECT_EQ(drawnTriangles(mesh, 2, 6, 2), only(4, {2, 3}));
}

TEST(MeshDrawTest, ImmediatePathsDifferInWhatFirstAndCountMean) {
    ImmediatePath immediate;
    MeshObject textured;
    buildStrip(textured, 4, true);
    textured.buildObject();
    EXPECT_EQ(drawnTriangles(textured, 4, 0, 0), only(8, {0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(drawnTriangles(textured, 4, 2, 6), only(8, {2, 3, 4, 5}));  // triangles first .. n-1
    EXPECT_EQ(drawnTriangles(textured, 4, 0, 8), only(8, {}));

    MeshObject plain;
    buildStrip(plain, 4, false);
    plain.buildObject();
    EXPECT_EQ(drawnTriangles(plain, 4, 5, 1), only(8, {0, 1, 2, 3, 4, 5, 6, 7}));  // always every triangle
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(MeshDrawTest, TrianglesMissingACornerAndEmptySubObjectsDrawNothing) {
    ImmediatePath immediate;
    MeshObject mesh;
    buildStrip(mesh, 2, false);
    mesh.getObject(0).getFaceTriangles()[0].points[1].vertex = nullptr;
    mesh.getObject(0).getFaceTriangles()[1].points[0].vertex = nullptr;
    mesh.calculateNormals();
    EXPECT_EQ(drawnTriangles(mesh, 2, 0, 0), only(4, {2, 3}));

    MeshObject empty;
    empty.setObjectSize(1);
    EXPECT_EQ(drawnTriangles(empty, 2, 3, 4), only(4, {}));
}
