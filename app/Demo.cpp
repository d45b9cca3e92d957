#include "app/Demo.h"

#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Ticks.h"
#include "engine/core/Timer.h"

namespace {

const int escapeKey = 27;
const unsigned framePauseMs = 15;

bool quit = false;

}  // namespace

bool setUpDemo() {
    if (!tarnix::init.init())
        return false;
    tarnix::timer.init();
    return true;
}

void runMainLoop() {
    while (!quit) {
        draw();
        tarnix::delay(framePauseMs);
        tarnix::timer.update();
        tarnix::input.pollEvent();
        if (tarnix::input.getKeyboard().getLastKey() == escapeKey)
            quit = true;
    }
}

void draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    tarnix::viewReset();
    tarnix::flush();
}
