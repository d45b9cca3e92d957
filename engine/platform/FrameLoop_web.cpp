#include "engine/platform/Platform.h"

#include <emscripten.h>

#include <cstdlib>

// The browser's own frame loop (requestAnimationFrame): one frame each time
// the browser draws the page, at the screen's rate, and none while the page
// is hidden.

namespace tarnix {

namespace {

bool (*loopFrame)() = nullptr;

void browserFrame() {
    if (loopFrame())
        return;
    emscripten_cancel_main_loop();
    EM_ASM({ document.body.dataset.ended = "1"; });
    std::exit(0);
}

}  // namespace

void runFrameLoop(bool (*frame)()) {
    loopFrame = frame;
    const int browserRate = 0;
    const int neverReturn = 1;
    emscripten_set_main_loop(browserFrame, browserRate, neverReturn);
}

}  // namespace tarnix
