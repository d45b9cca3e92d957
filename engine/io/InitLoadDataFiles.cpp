// The start-up loading pass of tarnix::Init: every registered data file goes to
// the manager of its extension, with a loading bar after each.

#include "engine/core/Init.h"

#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/io/FileName.h"
#include "engine/io/LoadingBar.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "engine/mesh/MeshManager.h"

#include <cstdlib>
#include <string>

namespace tarnix {

namespace {

const int escapeKey = 27;

struct Loader {
    const char* extension;  // lower case; the upper-case spelling matches too
    void (*load)(const char* name);
};

void loadPicture(const char* name) { image.loadImage(name); }
void loadMesh(const char* name) { meshManager.loadMeshObject(name); }
void loadSound(const char* name) { sound.load(name); }

// Extensions without a row (mixed case included) load nothing.
const Loader loaders[] = {
    {"png", loadPicture},
    {"dvm", loadMesh},
    {"ogg", loadSound},
    {"mp3", loadSound},
    {"wav", loadSound},
};

void loadByExtension(const std::string& name) {
    for (const Loader& loader : loaders) {
        if (hasExtension(name, loader.extension)) {
            loader.load(name.c_str());
            return;
        }
    }
}

}  // namespace

void drawLoadingBar(unsigned index, unsigned count) {
    const float progress = count > 1 ? static_cast<float>(index) / static_cast<float>(count - 1) : 1.0f;
    const int barEnd = static_cast<int>(300 + 200 * progress);
    const float fadeStart = 0.9f;
    float brightness = 1.0f - (progress - fadeStart) / (1.0f - fadeStart);
    if (brightness > 1.0f)
        brightness = 1.0f;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    viewReset();
    perspective2D(800, 600);
    const float outline = brightness * 0.6f;
    glColor3f(outline, outline, outline);
    glBegin(GL_LINE_STRIP);
        glVertex2i(295, 293);
        glVertex2i(505, 293);
        glVertex2i(505, 307);
        glVertex2i(295, 307);
        glVertex2i(295, 293);
    glEnd();
    const float fill = brightness * 0.3f;
    glColor3f(fill, fill, fill);
    glBegin(GL_QUADS);
        glVertex2i(300, 298);
        glVertex2i(barEnd, 298);
        glVertex2i(barEnd, 302);
        glVertex2i(300, 302);
    glEnd();
    glColor3f(1, 1, 1);
    perspective3D();
}

void Init::loadDataFiles() {
    glPushAttrib(GL_CURRENT_BIT);
    const unsigned count = getFileListSize();
    for (unsigned i = 0; i < count; ++i) {
        loadByExtension(fileList[i]);
        input.pollEvent();
        if (input.getKeyboard().getLastKey() == escapeKey)
            std::exit(0);
        drawLoadingBar(i, count);
        flush();
    }
    glPopAttrib();
}

}  // namespace tarnix
