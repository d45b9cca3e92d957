#include "engine/render/Layer.h"

#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"

#include <algorithm>
#include <vector>

namespace tarnix {

Layer::Layer() { projector = projector.identity(); }

// ---- Settings ----

void Layer::setTexture(Texture* t) {
    texture = t;
    if (t) {
        width = static_cast<float>(t->width);
        height = static_cast<float>(t->height);
    }
}

Texture* Layer::getTexture() const { return texture; }

void Layer::setBlendLayer(Layer* layer) { blendLayer = layer; }

void Layer::setAlpha(const float& a) { color[3] = a; }

void Layer::setColor(const float& r, const float& g, const float& b, const float& a) {
    color[0] = r;
    color[1] = g;
    color[2] = b;
    color[3] = a;
}

void Layer::setBlendFunc(unsigned source, unsigned destination) {
    blendSource = source;
    blendDestination = destination;
}

void Layer::setScale(const float& x, const float& y) {
    scale.x = x;
    scale.y = y;
}

void Layer::setAngle(const float& degrees) { angle = degrees; }

void Layer::setRotation(const float& x, const float& y, const float& z) { rotationAxis = Vector(x, y, z); }

void Layer::setRotation(const float& degrees, const float& x, const float& y, const float& z) {
    angle = degrees;
    rotationAxis = Vector(x, y, z);
}

void Layer::setPosition(const float& x, const float& y) {
    position.x = x;
    position.y = y;
}

void Layer::setPosition(const float& x, const float& y, const float& z) { position = Vector(x, y, z); }

void Layer::setPosition(const Vector& p) { position = p; }

void Layer::setCenter(const float& x, const float& y, const float& z) { center = Vector(x, y, z); }

void Layer::setCenter(const Vector& c) { center = c; }

void Layer::setFrustum(const float& left, const float& right, const float& bottom, const float& top,
                       const float& nearPlane, const float& farPlane) {
    frustumLeft = left;
    frustumRight = right;
    frustumBottom = bottom;
    frustumTop = top;
    frustumNear = nearPlane;
    frustumFar = farPlane;
}

void Layer::setSize(const float& w, const float& h) {
    width = w;
    height = h;
}

void Layer::setClip(const bool& on, const int& x, const int& y, const int& w, const int& h) {
    clipEnabled = on;
    clipX = x;
    clipY = y;
    clipWidth = w;
    clipHeight = h;
}

const Matrix44& Layer::getProjector() const { return projector; }

const Vector& Layer::getPosition() const { return position; }

const Vector& Layer::getScale() const { return scale; }

float Layer::getWidth() const { return width; }

float Layer::getHeight() const { return height; }

// ---- Drawing ----

void Layer::texCoords(float& s0, float& t0, float& s1, float& t1) const {
    if (!clipEnabled) {
        s0 = t0 = 0.0f;
        s1 = t1 = 1.0f;
        return;
    }
    s0 = static_cast<float>(clipX) / viewWidth;
    t0 = static_cast<float>(clipY) / viewHeight;
    s1 = static_cast<float>(clipWidth) / viewWidth + s0;
    t1 = static_cast<float>(clipHeight) / viewHeight + t0;
}

// Draws the blend-layer chain from its far end to this layer. The chain is
// collected first and ends at the first layer met twice, so a chain that
// loops back draws each of its layers once.
template <typename Draw>
void Layer::drawChain(Draw drawOne) {
    std::vector<Layer*> chain;
    for (Layer* layer = this; layer && std::find(chain.begin(), chain.end(), layer) == chain.end();
         layer = layer->blendLayer)
        chain.push_back(layer);
    for (auto layer = chain.rbegin(); layer != chain.rend(); ++layer)
        ((*layer)->*drawOne)();
}

void Layer::drawLayer2D() { drawChain(&Layer::drawOwn2D); }

void Layer::drawLayer() { drawChain(&Layer::drawOwn); }

void Layer::drawOwn2D() {
    if (!texture)
        return;
    float s0, t0, s1, t1;
    texCoords(s0, t0, s1, t1);
    const float x = position.x;
    const float y = position.y;
    perspective2D(static_cast<int>(viewWidth), static_cast<int>(viewHeight));
    glRotatef(angle, 0, 0, 1);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(blendSource, blendDestination);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glColor4f(color[0], color[1], color[2], color[3]);
    glBegin(GL_QUADS);
        glTexCoord2f(s1, t1); glVertex2f(x + width, y + height);
        glTexCoord2f(s0, t1); glVertex2f(x, y + height);
        glTexCoord2f(s0, t0); glVertex2f(x, y);
        glTexCoord2f(s1, t0); glVertex2f(x + width, y);
    glEnd();
    perspective3D();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

void Layer::drawOwn() {
    if (!texture)
        return;
    float s0, t0, s1, t1;
    texCoords(s0, t0, s1, t1);
    glPushMatrix();
        glEnable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBlendFunc(blendSource, blendDestination);
        glTranslatef(position.x, position.y, position.z);
        glScalef(scale.x, scale.y, scale.z);
        glRotatef(angle, rotationAxis.x, rotationAxis.y, rotationAxis.z);
        glBindTexture(GL_TEXTURE_2D, texture->id);
        glColor4f(color[0], color[1], color[2], color[3]);
        glBegin(GL_QUADS);
            glTexCoord2f(s1, t1); glVertex2f(1, 1);
            glTexCoord2f(s0, t1); glVertex2f(-1, 1);
            glTexCoord2f(s0, t0); glVertex2f(-1, -1);
            glTexCoord2f(s1, t0); glVertex2f(1, -1);
        glEnd();
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

// The push here is popped by drawLayerProjectedEnd(), which every caller
// pairs with this call in the same frame.
void Layer::drawLayerProjectedBegin() {
    glPushMatrix();
    glMultMatrixf(projector.m);
    glGetFloatv(GL_MODELVIEW_MATRIX, projector.m);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.0f);
    glScalef(0.5f, 0.5f, 1.0f);
    glFrustum(frustumLeft, frustumRight, frustumBottom, frustumTop, frustumNear, frustumFar);
    glMultMatrixf(projector.transpose().m);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
    glEnable(GL_TEXTURE_GEN_Q);
    glBindTexture(GL_TEXTURE_2D, texture ? texture->id : 0);
}

void Layer::drawLayerProjectedEnd() {
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glPopMatrix();
}

void Layer::drawProjectionFrustum() {
    const float k = frustumFar / frustumNear;
    const float l = frustumLeft, r = frustumRight, b = frustumBottom, t = frustumTop;
    const float n = -frustumNear, f = -frustumFar;
    const GLfloat near1[] = {l, b, n}, near2[] = {r, b, n}, near3[] = {r, t, n}, near4[] = {l, t, n};
    const GLfloat far1[] = {k * l, k * b, f}, far2[] = {k * r, k * b, f}, far3[] = {k * r, k * t, f},
                  far4[] = {k * l, k * t, f};
    glPushAttrib(GL_CURRENT_BIT);
        glColor3f(1, 1, 0);
        glBegin(GL_LINE_LOOP);
            for (const GLfloat* corner : {near1, near2, near3, near4, far4, far3, far2, far1, near1, near2, far2, far1,
                                          far4, far3, near3, near4})
                glVertex3fv(corner);
        glEnd();
    glPopAttrib();
}

}  // namespace tarnix
