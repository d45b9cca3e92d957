#include "engine/render/GraphicsLayer.h"

#include "engine/core/Extensions.h"
#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"
#include "engine/media/Shader.h"


namespace tarnix {

namespace {

const GLenum textureUnits[] = {GL_TEXTURE0_ARB, GL_TEXTURE1_ARB, GL_TEXTURE2_ARB, GL_TEXTURE3_ARB};

GLuint textureId(const Texture* texture) { return texture ? texture->id : 0; }

}  // namespace

GraphicsLayer::GraphicsLayer(Texture* t) : textureCount(1) { textures[0] = t; }

GraphicsLayer::GraphicsLayer(Shader* s) : shader(s) {}

void GraphicsLayer::addTexture(Texture* t) {
    if (textureCount < maximumTextures)
        textures[textureCount++] = t;
}

void GraphicsLayer::setTextureParam(float mode, unsigned unit) {
    if (unit < maximumTextures)
        combineModes[unit] = mode;
}

void GraphicsLayer::setShader(Shader* s) { shader = s; }

Texture* GraphicsLayer::getTexture(unsigned i) const { return i < maximumTextures ? textures[i] : nullptr; }

Shader* GraphicsLayer::getShader() const { return shader; }

unsigned GraphicsLayer::getTextureCount() const { return textureCount; }

void GraphicsLayer::bindGraphicsLayer() {
    if (textureCount == 0) {
        if (shader)
            shader->useShader();
        return;
    }
    if (textureCount == 1) {
        glBindTexture(GL_TEXTURE_2D, textureId(textures[0]));
        return;
    }
    if (!glActiveTextureARB_ptr)
        return;  // no multitexture on this driver
    for (unsigned unit = 0; unit < textureCount; ++unit) {
        glActiveTextureARB_ptr(textureUnits[unit]);
        glBindTexture(GL_TEXTURE_2D, textureId(textures[unit]));
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_COMBINE_ARB));
        glTexEnvf(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, combineModes[unit]);
    }
}

void GraphicsLayer::releaseGraphicsLayer() {
    if (textureCount == 0 && shader)
        shader->releaseShader();
}

}  // namespace tarnix
