// Draws every scene of GlScenes in the engine's window and prints each as a
// line "scene NAME LIMIT HEX" (LIMIT: the share of pixels that may be apart;
// HEX: side × side RGB, bottom row first), then "scenes done". The same program runs on the desktop (Mesa) and in a browser (the
// engine's OpenGL layer over WebGL, its lines on the page's console), so that
// a test can hold the two pictures of each scene side by side.

#include "GlScenes.h"

#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"

#include <SDL.h>

#include <cstdio>

int main(int, char**) {
    tarnix::window.setFullscreen(false);
    if (!tarnix::window.init()) {
        std::printf("scenes failed: no window\n");
        return 1;
    }
    tarnix::init.extensions();
    for (const glscenes::Scene& scene : glscenes::scenes())
        std::printf("scene %s %g %s\n", scene.name, scene.apartShare,
                    glscenes::toHex(glscenes::drawScene(scene)).c_str());
    // A call the browser's layer does not record, made while a list is made:
    // the layer must say so (tests/web/scenes.test.js looks for its line).
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    const unsigned char texel[4] = {};
    glTexImage2D(GL_TEXTURE_2D, 0, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glEndList();
    glDeleteLists(list, 1);
    std::printf("scenes done\n");
    std::fflush(stdout);
    tarnix::window.close();
    return 0;
}
