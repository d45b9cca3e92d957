#include "GlScenes.h"

#include "engine/core/Extensions.h"
#include "engine/core/OpenGL.h"

#include <cstdio>

namespace glscenes {

namespace {

// A texture of width × height RGBA texels, sampled nearest: every texel
// shows as itself.
GLuint nearestTexture(int width, int height, const unsigned char* texels) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return texture;
}

// A 4 × 4 checker of red and white texels (alpha 1 and 0.5 alternating by
// row).
GLuint checker() {
    static GLuint texture = 0;
    if (texture != 0)
        return texture;
    unsigned char texels[4 * 4 * 4];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            unsigned char* texel = &texels[(y * 4 + x) * 4];
            const bool white = (x + y) % 2 == 0;
            texel[0] = 255;
            texel[1] = texel[2] = white ? 255 : 0;
            texel[3] = y % 2 == 0 ? 255 : 128;
        }
    texture = nearestTexture(4, 4, texels);
    return texture;
}

// A 2 × 2 texture of four colours, for the second texture unit.
GLuint quadrants() {
    static GLuint texture = 0;
    if (texture != 0)
        return texture;
    const unsigned char texels[] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 255, 0, 255, 128, 128, 128, 255};
    texture = nearestTexture(2, 2, texels);
    return texture;
}

// An axis-aligned quad from (x0, y0) to (x1, y1) at depth z, its texture
// coordinates over the whole texture.
void quad(float x0, float y0, float x1, float y1, float z = 0) {
    glBegin(GL_QUADS);
        glTexCoord2f(0, 0); glVertex3f(x0, y0, z);
        glTexCoord2f(1, 0); glVertex3f(x1, y0, z);
        glTexCoord2f(1, 1); glVertex3f(x1, y1, z);
        glTexCoord2f(0, 1); glVertex3f(x0, y1, z);
    glEnd();
}

// ---- The scenes (the square is -1 .. 1 both ways unless a scene projects)

void filledPrimitives() {
    glColor3f(1, 0, 0);
    glBegin(GL_TRIANGLES);
        glVertex2f(-0.95f, 0.35f); glVertex2f(-0.4f, 0.35f); glVertex2f(-0.7f, 0.95f);
    glEnd();
    glColor3f(0, 1, 0);
    glBegin(GL_TRIANGLE_STRIP);
        glVertex2f(-0.3f, 0.35f); glVertex2f(-0.3f, 0.95f); glVertex2f(0.05f, 0.4f); glVertex2f(0.25f, 0.9f);
    glEnd();
    glBegin(GL_TRIANGLE_FAN);
        glColor3f(0, 0, 1); glVertex2f(0.6f, 0.6f);
        glColor3f(1, 1, 1); glVertex2f(0.35f, 0.35f); glVertex2f(0.95f, 0.4f); glVertex2f(0.9f, 0.95f);
        glVertex2f(0.4f, 0.9f);
    glEnd();
    glColor3f(1, 1, 0);
    glBegin(GL_QUADS);
        glVertex2f(-0.95f, -0.3f); glVertex2f(-0.45f, -0.25f); glVertex2f(-0.4f, 0.25f); glVertex2f(-0.9f, 0.2f);
    glEnd();
    glBegin(GL_QUAD_STRIP);
        glColor3f(0, 1, 1); glVertex2f(-0.3f, -0.3f); glVertex2f(-0.3f, 0.25f);
        glColor3f(1, 0, 1); glVertex2f(0.0f, -0.25f); glVertex2f(0.0f, 0.2f);
        glColor3f(0, 1, 1); glVertex2f(0.3f, -0.3f); glVertex2f(0.3f, 0.25f);
    glEnd();
    glColor4f(0.5f, 0.25f, 1, 1);
    glBegin(GL_POLYGON);
        glVertex2f(0.65f, -0.95f); glVertex2f(0.95f, -0.6f); glVertex2f(0.85f, -0.2f); glVertex2f(0.45f, -0.2f);
        glVertex2f(0.35f, -0.6f);
    glEnd();
}

void pointsAndLines() {
    glColor3f(1, 1, 1);
    glBegin(GL_POINTS);
        for (int i = 0; i < 8; ++i)
            glVertex2f(-0.9f + 0.1f * i, 0.9f);
    glEnd();
    glPointSize(4);
    glColor3f(1, 0, 0);
    glBegin(GL_POINTS);
        glVertex2f(0.5f, 0.8f);
        glVertex2f(0.75f, 0.8f);
    glEnd();
    glPointSize(1);
    glColor3f(0, 1, 0);
    glBegin(GL_LINES);
        glVertex2f(-0.9f, 0.6f); glVertex2f(0.9f, 0.5f);
        glVertex2f(-0.9f, 0.3f); glVertex2f(-0.2f, 0.3f);
    glEnd();
    glColor3f(0, 0.5f, 1);
    glBegin(GL_LINE_STRIP);
        glVertex2f(-0.9f, 0.0f); glVertex2f(-0.5f, -0.3f); glVertex2f(-0.1f, 0.1f);
    glEnd();
    glColor3f(1, 1, 0);
    glBegin(GL_LINE_LOOP);
        glVertex2f(0.2f, -0.8f); glVertex2f(0.8f, -0.8f); glVertex2f(0.5f, -0.2f);
    glEnd();
}

// The same textured pair of triangles twice: from client memory on the left
// and from a buffer object on the right.
void arraysAndBuffers() {
    static const float vertices[] = {-0.9f, -0.9f, -0.1f, -0.9f, -0.1f, 0.9f, -0.9f, -0.9f, -0.1f, 0.9f, -0.9f, 0.9f};
    static const float texCoords[] = {0, 0, 1, 0, 1, 1, 0, 0, 1, 1, 0, 1};
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checker());
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    if (tarnix::glGenBuffersARB) {
        float both[24];
        for (int i = 0; i < 6; ++i) {
            both[i * 4] = vertices[i * 2] + 1;
            both[i * 4 + 1] = vertices[i * 2 + 1];
            both[i * 4 + 2] = texCoords[i * 2];
            both[i * 4 + 3] = texCoords[i * 2 + 1];
        }
        GLuint buffer = 0;
        tarnix::glGenBuffersARB(1, &buffer);
        tarnix::glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
        tarnix::glBufferDataARB(GL_ARRAY_BUFFER_ARB, sizeof both, both, GL_STATIC_DRAW_ARB);
        glVertexPointer(2, GL_FLOAT, 4 * sizeof(float), nullptr);
        glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(float), reinterpret_cast<const void*>(2 * sizeof(float)));
        glDrawArrays(GL_TRIANGLES, 0, 6);
        tarnix::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        tarnix::glDeleteBuffersARB(1, &buffer);
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void matrixStacks() {
    glMatrixMode(GL_PROJECTION);
    glFrustum(-0.5, 0.5, -0.5, 0.5, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0, 0, -3);
    glPushMatrix();
        glTranslatef(-0.6f, 0.6f, 0);
        glRotatef(30, 0, 0, 1);
        glScalef(0.5f, 0.3f, 1);
        glColor3f(1, 0.5f, 0);
        quad(-1, -1, 1, 1);
    glPopMatrix();
    glPushMatrix();
        const float shear[16] = {1, 0, 0, 0, 0.5f, 1, 0, 0, 0, 0, 1, 0, 0.6f, -0.6f, 0, 1};
        glMultMatrixf(shear);
        glColor3f(0, 0.75f, 1);
        quad(-0.3f, -0.3f, 0.3f, 0.3f);
    glPopMatrix();
    // The texture matrix: the checker twice across, a quarter turned.
    glMatrixMode(GL_TEXTURE);
    glRotatef(90, 0, 0, 1);
    glScalef(2, 2, 1);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checker());
    glColor3f(1, 1, 1);
    const float place[16] = {0.4f, 0, 0, 0, 0, 0.4f, 0, 0, 0, 0, 1, 0, 0.6f, 0.6f, -3, 1};
    glLoadMatrixf(place);
    quad(-1, -1, 1, 1);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

// MODULATE, REPLACE, DECAL and ADD of the checker under a colour, and two
// units combined as a layer of several textures combines them.
void textureEnvironments() {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checker());
    glColor4f(0.25f, 0.5f, 1, 1);
    const GLint modes[] = {GL_MODULATE, GL_REPLACE, GL_DECAL, GL_ADD};
    for (int i = 0; i < 4; ++i) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[i]);
        const float x = -1 + 0.5f * static_cast<float>(i);
        quad(x + 0.02f, 0.1f, x + 0.48f, 0.95f);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (!tarnix::glActiveTextureARB_ptr || !tarnix::glMultiTexCoord2fARB_ptr)
        return;
    const GLuint textures[] = {checker(), quadrants()};
    const GLint combine[] = {GL_MODULATE, GL_ADD};
    for (int unit = 0; unit < 2; ++unit) {
        tarnix::glActiveTextureARB_ptr(GL_TEXTURE0_ARB + unit);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, textures[unit]);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_COMBINE_ARB));
        glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, static_cast<GLfloat>(combine[unit]));
    }
    glColor3f(0.5f, 0.5f, 0.5f);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const float at[4][2] = {{-0.9f, -0.9f}, {0.9f, -0.9f}, {0.9f, -0.1f}, {-0.9f, -0.1f}};
    glBegin(GL_QUADS);
        for (int i = 0; i < 4; ++i) {
            tarnix::glMultiTexCoord2fARB_ptr(GL_TEXTURE0_ARB, corners[i][0], corners[i][1]);
            tarnix::glMultiTexCoord2fARB_ptr(GL_TEXTURE1_ARB, corners[i][0], corners[i][1]);
            glVertex2f(at[i][0], at[i][1]);
        }
    glEnd();
    for (int unit = 1; unit >= 0; --unit) {
        tarnix::glActiveTextureARB_ptr(GL_TEXTURE0_ARB + unit);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_TEXTURE_2D);
    }
}

// Eye-linear coordinates of s, t, r and q, as the engine projects a picture:
// the left quad flat, the right one through a q that grows across it.
void textureGeneration() {
    const GLfloat planeS[] = {0.5f, 0, 0, 0.5f}, planeT[] = {0, 0.5f, 0, 0.5f};
    const GLfloat planeR[] = {0, 0, 1, 0}, planeQ[] = {0, 0, 0, 1}, leaningQ[] = {0.6f, 0, 0, 1};
    const GLenum coordinates[] = {GL_S, GL_T, GL_R, GL_Q};
    const GLenum generated[] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
    const GLfloat* planes[] = {planeS, planeT, planeR, planeQ};
    for (int i = 0; i < 4; ++i) {
        glTexGeni(coordinates[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGenfv(coordinates[i], GL_EYE_PLANE, planes[i]);
        glEnable(generated[i]);
    }
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checker());
    glColor3f(1, 1, 1);
    quad(-0.95f, -0.95f, -0.05f, 0.95f);
    glTexGenfv(GL_Q, GL_EYE_PLANE, leaningQ);
    quad(0.05f, -0.95f, 0.95f, 0.95f);
    for (GLenum gen : generated)
        glDisable(gen);
}

// Square points of 12 pixels, attenuated ones at three depths, and sprites
// whose texture runs over each point.
void pointSprites() {
    glMatrixMode(GL_PROJECTION);
    glFrustum(-0.5, 0.5, -0.5, 0.5, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glPointSize(12);
    glColor3f(0, 1, 0);
    glBegin(GL_POINTS);
        glVertex3f(-0.6f, 0.6f, -2);
    glEnd();
    if (!tarnix::glPointParameterfvARB)
        return;
    const GLfloat attenuation[] = {0, 0, 1};
    tarnix::glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
    tarnix::glPointParameterfARB(GL_POINT_SIZE_MIN_ARB, 1);
    tarnix::glPointParameterfARB(GL_POINT_SIZE_MAX_ARB, 60);
    glPointSize(40);
    glColor3f(1, 1, 0);
    glBegin(GL_POINTS);
        glVertex3f(0, 0.6f, -2);
        glVertex3f(0.5f, 1.0f, -4);
        glVertex3f(1.0f, 1.6f, -8);
    glEnd();
    const GLfloat none[] = {1, 0, 0};
    tarnix::glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, none);
    glPointSize(20);
    glEnable(GL_POINT_SPRITE_ARB);
    glTexEnvf(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, 1.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checker());
    glColor3f(1, 1, 1);
    glBegin(GL_POINTS);
        glVertex3f(-0.5f, -0.5f, -2);
        glVertex3f(0.4f, -0.5f, -2);
    glEnd();
    glTexEnvf(GL_POINT_SPRITE_ARB, GL_COORD_REPLACE_ARB, 0.0f);
    glDisable(GL_POINT_SPRITE_ARB);
}

void blendingAndDepth() {
    glEnable(GL_DEPTH_TEST);
    glColor3f(1, 0, 0);
    quad(-0.9f, 0.1f, -0.1f, 0.9f, -0.5f);  // near
    glColor3f(0, 1, 0);
    quad(-0.5f, 0.3f, 0.3f, 0.7f, 0.5f);  // far: hidden where they overlap
    glDepthMask(GL_FALSE);
    glColor3f(0, 0, 1);
    quad(0.1f, 0.1f, 0.9f, 0.9f, 0.0f);
    glDepthMask(GL_TRUE);
    glColor3f(1, 1, 0);
    quad(0.5f, 0.3f, 0.95f, 0.5f, 0.2f);  // behind nothing written: shows over the blue
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 0.5f);
    quad(-0.9f, -0.9f, -0.1f, -0.1f);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(0.25f, 0.5f, 0, 1);
    quad(-0.5f, -0.7f, 0.5f, -0.3f);
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    glColor3f(1, 1, 1);
    quad(0.2f, -0.9f, 0.9f, -0.2f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// Lists as the font makes them (a glyph: a textured quad, then a step to the
// right) called one by one, through glCallLists with a base, and from a list.
void displayLists() {
    const GLuint base = glGenLists(3);
    for (GLuint i = 0; i < 2; ++i) {
        glNewList(base + i, GL_COMPILE);
            glColor3f(i == 0 ? 1.0f : 0.25f, 1, i == 0 ? 0.25f : 1.0f);
            glBegin(GL_QUADS);
                glTexCoord2f(0, 0); glVertex2f(0, 0);
                glTexCoord2f(1, 0); glVertex2f(0.4f, 0);
                glTexCoord2f(1, 1); glVertex2f(0.4f, 0.4f);
                glTexCoord2f(0, 1); glVertex2f(0, 0.4f);
            glEnd();
            glTranslatef(0.5f, 0, 0);
        glEndList();
    }
    glNewList(base + 2, GL_COMPILE);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, checker());
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glPushMatrix();
            glCallList(base);
            glCallList(base + 1);
        glPopMatrix();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
    glEndList();
    glPushMatrix();
        glTranslatef(-0.9f, 0.4f, 0);
        glCallList(base + 2);
        glTranslatef(0, -0.6f, 0);
        glListBase(base);
        const unsigned char text[] = {1, 0, 1};
        glCallLists(3, GL_UNSIGNED_BYTE, text);
    glPopMatrix();
    glDeleteLists(base, 3);
}

// A list holding state as well as drawing: the attribute stack, the viewport
// and scissor box, clearing, a colour mask, arrays read as the list is made
// (changed afterwards), and another list called by name from a base. After
// it, the state is what it was before.
void listsOfState() {
    const GLuint base = glGenLists(2);
    glNewList(base, GL_COMPILE);
        glColor3f(0, 1, 0);
        quad(-0.3f, -0.3f, 0.3f, 0.3f);
    glEndList();
    static GLfloat triangle[] = {-0.9f, -0.9f, 0.9f, -0.9f, 0, 0.9f};
    glVertexPointer(2, GL_FLOAT, 0, triangle);
    glEnableClientState(GL_VERTEX_ARRAY);
    glNewList(base + 1, GL_COMPILE);
        glPushAttrib(GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_SCISSOR_BIT | GL_ENABLE_BIT);
        glViewport(0, 0, side / 2, side / 2);
        glScissor(0, 0, side / 2, side / 4);
        glEnable(GL_SCISSOR_TEST);
        glClearColor(0.2f, 0.2f, 0.6f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
        glColor3f(1, 1, 1);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glListBase(base);
        const GLubyte first[] = {0};
        glCallLists(1, GL_UNSIGNED_BYTE, first);
        glPopAttrib();
    glEndList();
    triangle[5] = -0.9f;  // flat now: the list draws the triangle it read
    glColor3f(1, 0.5f, 0);
    glCallList(base + 1);
    quad(0.3f, 0.3f, 0.9f, 0.9f);  // orange, over the whole square's view
    glDisableClientState(GL_VERTEX_ARRAY);
    glDeleteLists(base, 2);
}

// State changed between a push and a pop of the attribute stack is gone:
// the quad after the pop is drawn plain, in the colour before the push.
void attributeStack() {
    glColor3f(0, 1, 0.5f);
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_POINT_BIT);
        glColor3f(1, 0, 0);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, checker());
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        quad(-0.9f, 0.1f, 0.9f, 0.9f);
    glPopAttrib();
    quad(-0.9f, -0.9f, 0.9f, -0.1f);
}

// GLU's perspective and sphere, textured by eye-linear coordinates as the
// title's sphere is, in depth.
void gluSphereScene() {
    glMatrixMode(GL_PROJECTION);
    gluPerspective(45, 1, 0.1, 100);
    glMatrixMode(GL_MODELVIEW);
    const GLfloat planeS[] = {1, 0, 0, 0}, planeT[] = {0, 1, 0, 0};
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_EYE_PLANE, planeS);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_T, GL_EYE_PLANE, planeT);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, checker());
    glEnable(GL_DEPTH_TEST);
    glTranslatef(0.3f, 0, -4);
    static GLUquadric* quadric = gluNewQuadric();
    glColor3f(1, 1, 1);
    gluSphere(quadric, 1, 24, 16);
    glTranslatef(-1.3f, -0.6f, 1);
    glColor3f(0.2f, 0.6f, 1);
    glDisable(GL_TEXTURE_2D);
    gluSphere(quadric, 0.5, 12, 8);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

// Polygons as their edges (the head's wireframe), through an orthographic
// projection.
void wireframe() {
    // The square as 0 .. 2 both ways, moved back to -1 .. 1 (the 2D view's
    // projection is an orthographic one).
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 2, 0, 2, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1, 1, 0);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor3f(1, 1, 1);
    glBegin(GL_TRIANGLES);
        glVertex2f(-0.9f, -0.9f); glVertex2f(0.1f, -0.8f); glVertex2f(-0.5f, 0.2f);
    glEnd();
    glColor3f(1, 0.5f, 0);
    quad(0.2f, 0.2f, 0.9f, 0.9f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

}  // namespace

// Filled primitives, arrays, matrices, environments, blending, lists and the
// attribute stack cover pixels by the same rule in both (pixel centres, the
// top-left rule): only a pixel here and there on an edge may round another
// way (seen: one pixel of 4096 in the filled primitives, two in the
// matrices). Generated and projected texture coordinates and GLU's facets
// may fall the other side of an edge. Points and lines are rasterised by other
// rules in WebGL (a point a square around its centre, snapped; a line a thin
// quad), so a few of their pixels may lie one over (seen: 21 of the sprites').
const std::vector<Scene>& scenes() {
    static const std::vector<Scene> all = {
        {"filled-primitives", 0.002, filledPrimitives},
        {"points-and-lines", 0.01, pointsAndLines},
        {"arrays-and-buffers", 0.001, arraysAndBuffers},
        {"matrix-stacks", 0.002, matrixStacks},
        {"texture-environments", 0.001, textureEnvironments},
        {"texture-generation", 0.005, textureGeneration},
        {"point-sprites", 0.02, pointSprites},
        {"blending-and-depth", 0.001, blendingAndDepth},
        {"display-lists", 0.001, displayLists},
        {"lists-of-state", 0.001, listsOfState},
        {"attribute-stack", 0.001, attributeStack},
        {"glu-sphere", 0.005, gluSphereScene},
        {"wireframe", 0.01, wireframe},
    };
    return all;
}

std::vector<unsigned char> drawScene(const Scene& scene) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glViewport(0, 0, side, side);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(mode);
        glLoadIdentity();
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1, 1, 1, 1);
    scene.draw();
    for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(mode);
        glLoadIdentity();
    }
    // RGBA: the one format WebGL always reads back.
    std::vector<unsigned char> rgba(side * side * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, side, side, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glPopAttrib();
    std::vector<unsigned char> rgb(side * side * 3);
    for (int i = 0; i < side * side; ++i)
        for (int c = 0; c < 3; ++c)
            rgb[i * 3 + c] = rgba[i * 4 + c];
    return rgb;
}

std::string toHex(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::vector<unsigned char> fromHex(const std::string& hex) {
    const auto value = [](char digit) { return digit <= '9' ? digit - '0' : digit - 'a' + 10; };
    std::vector<unsigned char> bytes(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(value(hex[2 * i]) << 4 | value(hex[2 * i + 1]));
    return bytes;
}

}  // namespace glscenes
