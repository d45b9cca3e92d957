#pragma once

namespace tarnix {

struct Texture;
class Shader;

// Up to four textures, or one shader, bound together before drawing: one
// texture plainly, several across the multitexture units with a combine
// function each, or, with no texture, the shader's program.
class GraphicsLayer {
public:
    GraphicsLayer() = default;
    explicit GraphicsLayer(Texture* t);
    explicit GraphicsLayer(Shader* s);

    // A fifth texture is ignored.
    void addTexture(Texture* t);
    // The RGB combine function of one unit (0..3), an OpenGL enum as a float;
    // a unit past the last is ignored.
    void setTextureParam(float mode, unsigned unit);
    void setShader(Shader* s);
    Texture* getTexture(unsigned i) const;   // null for i from 4 on
    Shader* getShader() const;
    unsigned getTextureCount() const;

    // No texture: the shader's program. One: binds it on the active unit.
    // Two to four: unit i gets texture i with GL_COMBINE_ARB and its combine
    // function; the last unit stays active. Texturing is the caller's to enable.
    void bindGraphicsLayer();
    // Switches the shader off when the layer has no texture.
    void releaseGraphicsLayer();

private:
    static const unsigned maximumTextures = 4;

    unsigned textureCount = 0;
    Texture* textures[maximumTextures] = {};     // not owned
    Shader* shader = nullptr;                     // not owned
    float combineModes[maximumTextures] = {7681.0f, 260.0f, 260.0f, 260.0f};  // GL_REPLACE, then GL_ADD
};

}  // namespace tarnix
