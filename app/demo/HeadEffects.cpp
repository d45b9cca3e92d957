#include "app/demo/HeadEffects.h"

#include "app/demo/DemoState.h"
#include "app/demo/Tuning.h"

#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/mesh/MeshObject.h"

#include <algorithm>

MeshObject* meshObject = nullptr;
const char* cubemap = "242342342234234213412432123413244325532523412323242342342234234213412432123413244325532523412323";

namespace {

const unsigned revealStart = 6000;    // ms
const unsigned spinStart = 15999;     // ms; head2 follows one millisecond later
const float revealLength = 10000.0f;  // ms
const float meshTriangles = 8592.0f;

void drawMesh(unsigned first, unsigned count) {
    if (meshObject)
        meshObject->drawObject(first, count);
}

}  // namespace

int revealedTriangles(unsigned t) {
    return static_cast<int>((static_cast<float>(t) - revealStart) / revealLength * meshTriangles + 1);
}

// ---- Head effect ----

void advanceHead(unsigned t) {
    if (t > spinStart) {
        pox = 0;
        pax = 0;
        headi += 1;
    } else {
        pox = revealedTriangles(t);
    }
}

void head() {
    const unsigned t = tarnix::timer.getTime();
    glEnable(GL_DEPTH_TEST);
    glDepthRange(0.1, 1);
    const float size = tuned("head:size", t, 2);
    glPushMatrix();
        glTranslatef(0, 0, -tuned("head:distance", t, 10));
        glScalef(size, size, size);
        glDepthFunc(GL_ALWAYS);
        tarnix::lineWidth(tuned("head:line width", t, 6));
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        glColor3f(0, 0, 0);
        advanceHead(t);
        if (t > spinStart)
            glRotatef(static_cast<float>(headi), 0.3f, 0.4f, 0.2f);
        drawMesh(static_cast<unsigned>(pax), static_cast<unsigned>(pox));
    glPopMatrix();
    glColor3f(1, 1, 1);
}

// The depth function, depth range and line width set here stay in force
// for the rest of the frame (draw() puts them back after it).
void head2() {
    const unsigned t = tarnix::timer.getTime();
    const float size = tuned("head:size", t, 2);
    glPushMatrix();
        glTranslatef(0, 0, -tuned("head:distance", t, 10));
        glScalef(size, size, size);
        if (t > spinStart + 1)
            glRotatef(static_cast<float>(headi), 0.3f, 0.4f, 0.2f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        drawMesh(0, static_cast<unsigned>(pox));
        glDepthFunc(GL_LESS);
        glDepthRange(0, 0.9);
        tarnix::lineWidth(1);
        glColor3f(1, 1, 1);
    glPopMatrix();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// ---- Cubes ----

void cube() {
    static const float corners[24][3] = {
        {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1},  // y = 1
        {1, 0, 1}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0},  // y = 0
        {1, 1, 1}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1},  // z = 1
        {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0},  // z = 0
        {0, 1, 1}, {0, 1, 0}, {0, 0, 0}, {0, 0, 1},  // x = 0
        {1, 1, 0}, {1, 1, 1}, {1, 0, 1}, {1, 0, 0},  // x = 1
    };
    glBegin(GL_QUADS);
        for (const float* corner : corners)
            glVertex3fv(corner);
    glEnd();
}

namespace {

void scaledCube(float x, float y, float sx, float sy, float sz) {
    glPushMatrix();
        glTranslatef(x, y, 0);
        glScalef(sx, sy, sz);
        cube();
    glPopMatrix();
}

const float wallOffsets[4][3] = {{0, 0, 0}, {-4.5f, 0, -1.5f}, {7.5f, 0, -10.5f}, {12, 0, -9}};

bool contains(const std::vector<int>& cells, int k) { return std::find(cells.begin(), cells.end(), k) != cells.end(); }

// One 4 × 4 wall of cubes with their bars, rows downward from the top.
void cubeWall(const char* digits) {
    const WallBars bars = barsOfWall(digits);
    int row = 4;
    for (int k = 0; k < 16; ++k) {
        glTranslatef(1.5f, 0, 0);
        if (k % 4 == 0) {
            glTranslatef(-6, -1.5f, 0);
            --row;
        }
        const float cx = static_cast<float>(3 * (k % 4));
        const float cy = static_cast<float>(3 * row);
        scaledCube(cx, cy, 3, 3, 3);
        if (contains(bars.vertical, k))
            scaledCube(cx, cy + 3, 3, 1.5f, 3);
        if (contains(bars.horizontal, k))
            scaledCube(cx + 3, cy, 1.5f, 3, 3);
    }
}

}  // namespace

// The last cell (15) never gets a bar of its own.
WallBars barsOfWall(const char* digits) {
    WallBars bars;
    for (int k = 0; k < 15; ++k) {
        if (k > 3 && digits[k - 4] == digits[k])
            bars.vertical.push_back(k);
        if ((k + 1) % 4 != 0 && digits[k + 1] == digits[k])
            bars.horizontal.push_back(k);
    }
    return bars;
}

void cubism() {
    glTranslatef(0, 0, -60);
    glRotatef(kakka * 0.1f, 0, 1, 0);
    kakka += 1;
    for (int wall = 0; wall < 4; ++wall) {
        glPushMatrix();
            glTranslatef(wallOffsets[wall][0], wallOffsets[wall][1], wallOffsets[wall][2]);
            glRotatef(90.0f * wall, 0, 1, 0);
            glPushMatrix();
                cubeWall(cubemap + 16 * wall);
            glPopMatrix();
        glPopMatrix();
    }
}

// ---- Bezier sampler ----

void CompBez(tarnix::Vector p0, tarnix::Vector p1, tarnix::Vector p2, tarnix::Vector p3, int count,
             tarnix::Vector* out) {
    const tarnix::Vector c = (p1 - p0) * 3.0f;
    const tarnix::Vector b = (p2 - p1) * 3.0f - c;
    const tarnix::Vector a = p3 - p0 - c - b;
    // With one point the step is never used (and not computed: it would be 1/0).
    const float step = count > 1 ? 1.0f / static_cast<float>(count - 1) : 0.0f;
    float t = 0;
    for (int i = 0; i < count; ++i) {
        out[i] = a * (t * t * t) + b * (t * t) + c * t + p0;
        t += step;
    }
}
