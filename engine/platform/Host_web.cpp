#include "engine/platform/Platform.h"
#include "engine/platform/web/Page.h"

#include <emscripten.h>
#include <emscripten/html5_webgl.h>

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
    tellHost("ended", "1");
    std::exit(0);
}

}  // namespace

bool frameLoopRunning() { return loopFrame != nullptr; }

const bool hostPacesFrames = true;

void askForDisplayPacing() {}

bool presentingWaitsForDisplay() { return false; }

bool drawingContextMade() { return emscripten_webgl_get_current_context() != 0; }

void runFrameLoop(bool (*frame)()) {
    loopFrame = frame;
    const int browserRate = 0;
    const int neverReturn = 1;
    emscripten_set_main_loop(browserFrame, browserRate, neverReturn);
}

// The page's sound hears of each value too (Module.onTell), to show the
// music's time beside the demo time read at the same moment.
void tellHost(const char* name, const std::string& value) {
    EM_ASM(
        {
            var name = UTF8ToString($0);
            document.body.dataset[name] = UTF8ToString($1);
            if (Module.onTell) Module.onTell(name);
        },
        name, value.c_str());
}

}  // namespace tarnix
