#include "engine/core/Init.h"

#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"
#include "engine/io/DataPack.h"
#include "engine/media/Sound.h"

#include <SDL.h>

namespace tarnix {

Init init;

Init::Init() = default;

Init::~Init() = default;

bool Init::init() {
    if (!window.init())
        return false;
    sound.init();
    openglInit();
    // No pointer over a picture that fills the screen; a window keeps it, to
    // be moved out of the way (and to click the development mode's strip).
    SDL_ShowCursor((window.getFlags() & SDL_FULLSCREEN) ? SDL_DISABLE : SDL_ENABLE);
    extensions();
    readDirectoryContent("data/");
    return loadDataFiles();
}

void Init::openglInit() {
    static const GLfloat planeS[] = {1, 0, 0, 0};
    static const GLfloat planeT[] = {0, 1, 0, 0};
    static const GLfloat planeR[] = {0, 0, 1, 0};
    static const GLfloat planeQ[] = {0, 0, 0, 1};

    glEnable(GL_DEPTH_TEST);
    // Given while the modelview is still the identity, so generated texture
    // coordinates equal the eye-space vertex position.
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_EYE_PLANE, planeS);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_T, GL_EYE_PLANE, planeT);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_R, GL_EYE_PLANE, planeR);
    glTexGeni(GL_Q, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_Q, GL_EYE_PLANE, planeQ);
}

void Init::close() {
    sound.close();
    window.close();
}

void Init::setProgramDirectory(char*) {}

bool Init::useShaders() const { return shadersAvailable; }

bool Init::useVertexBufferObjects() const { return vertexBuffersAvailable; }

bool Init::usePointSprites() const { return pointSpritesAvailable; }

}  // namespace tarnix
