#pragma once

#include "engine/render/Matrix.h"
#include "engine/render/Vector.h"

namespace tarnix {

struct Texture;

// One textured rectangle with its own colour, blend function and placement,
// drawn as a flat picture in the 2D view, as a unit square in 3D, or as a slide
// projector onto whatever the caller draws between drawLayerProjectedBegin()
// and drawLayerProjectedEnd(). A layer may name a blend layer, drawn just
// before it (a chain is drawn from its far end). Layers own neither their
// texture nor their blend layer.
class Layer {
public:
    Layer();

    // The picture; the layer takes its size in pixels. A layer without a
    // texture draws nothing.
    void setTexture(Texture* t);
    Texture* getTexture() const;
    // Drawn first; null ends the chain. A chain that comes back to a layer
    // already in it is drawn once, without the repeat.
    void setBlendLayer(Layer* layer);
    void setAlpha(const float& a);
    void setColor(const float& r, const float& g, const float& b, const float& a);
    void setBlendFunc(unsigned source, unsigned destination);  // OpenGL blend factors
    void setScale(const float& x, const float& y);             // z keeps its value
    void setAngle(const float& degrees);
    void setRotation(const float& x, const float& y, const float& z);
    void setRotation(const float& degrees, const float& x, const float& y, const float& z);
    void setPosition(const float& x, const float& y);          // z keeps its value
    void setPosition(const float& x, const float& y, const float& z);
    void setPosition(const Vector& p);
    void setCenter(const float& x, const float& y, const float& z);
    void setCenter(const Vector& c);
    void setFrustum(const float& left, const float& right, const float& bottom, const float& top,
                    const float& nearPlane, const float& farPlane);
    void setSize(const float& w, const float& h);              // view units
    // Texture coordinates from a rectangle in view units, divided by the view
    // size (1024 × 768), not by the texture's size.
    void setClip(const bool& on, const int& x, const int& y, const int& w, const int& h);

    // In the 2D view of viewWidth × viewHeight units, origin at the lower
    // left, turned by the angle about that origin. Leaves the 3D view with an
    // identity modelview, blending and texturing off, and the layer's colour,
    // blend function and texture current.
    void drawLayer2D();
    // The square (-1, -1) .. (1, 1) at z = 0, rotated, then scaled, then
    // moved, in the current modelview.
    void drawLayer();
    // Projects the picture through the layer's frustum onto what follows.
    // The current modelview times the stored projector matrix becomes the new
    // projector matrix and stays in force (pushed) until the End call.
    void drawLayerProjectedBegin();
    void drawLayerProjectedEnd();
    // The projector's frustum as yellow lines, apex at the origin looking down -z.
    void drawProjectionFrustum();

    const Matrix44& getProjector() const;   // OpenGL element order
    const Vector& getPosition() const;
    const Vector& getScale() const;
    float getWidth() const;
    float getHeight() const;

private:
    void texCoords(float& s0, float& t0, float& s1, float& t1) const;
    void drawOwn2D();
    void drawOwn();
    template <typename Draw>
    void drawChain(Draw drawOne);

    float angle = 0.0f;             // degrees
    float width = 0.0f;             // 2D quad, view units
    float height = 0.0f;
    float viewWidth = 1024.0f;      // 2D view size, view units; also the clip divisors
    float viewHeight = 768.0f;
    float frustumLeft = -0.5f;
    float frustumRight = 0.5f;
    float frustumBottom = -0.5f;
    float frustumTop = 0.5f;
    float frustumNear = 1.0f;
    float frustumFar = 3.0f;
    int clipX = 0;                  // view units
    int clipY = 0;
    int clipWidth = 0;
    int clipHeight = 0;
    bool clipEnabled = false;
    Matrix44 projector{0.0f};
    Vector position;                // 2D: lower-left corner; 3D: translation
    Vector center;                  // stored only
    Vector rotationAxis;
    Vector scale{1.0f, 1.0f, 1.0f};
    Texture* texture = nullptr;     // not owned
    Layer* blendLayer = nullptr;    // not owned
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    unsigned blendSource = 0x0302;       // GL_SRC_ALPHA
    unsigned blendDestination = 0x0303;  // GL_ONE_MINUS_SRC_ALPHA
};

}  // namespace tarnix
