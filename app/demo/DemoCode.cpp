#include "app/demo/DemoCode.h"

#include "app/demo/Demo.h"
#include "app/demo/FrameState.h"

#include <optional>

namespace {

FrameState setUpState;                // what the set-up left
std::optional<MotionGrid> frameGrid;  // the frames drawn since the state was last put back
unsigned lastFrameMs = 0;             // the time of the grid's last frame

void setUpObjects() {
    takeOverRandomSequence();
    setUpDemoObjects();
}

void keepSetUpState() {
    setUpState = saveFrameState();
    frameGrid.reset();
}

// A frame earlier than the last one starts the grid again from the set-up's
// state; a later one goes on along it.
void prepareFrameAt(unsigned t) {
    if (!frameGrid || t < lastFrameMs) {
        restoreFrameState(setUpState);
        frameGrid.emplace();
    }
    frameGrid->prepare(t);
    lastFrameMs = t;
}

const DemoCode table = [] {
    DemoCode code;
    code.setUpObjects = setUpObjects;
    code.releaseObjects = releaseDemoObjects;
    code.setCalm = setCalm;
    code.isCalm = isCalm;
    code.keepSetUpState = keepSetUpState;
    code.prepareFrameAt = prepareFrameAt;
    code.draw = draw;
    code.sectionAt = sectionAt;
    code.sectionName = sectionName;
    code.reloadScrollerText = reloadScrollerText;
    code.reloadDemoMesh = reloadDemoMesh;
    return code;
}();

}  // namespace

extern "C" const DemoCode* tarnixDemoCode() { return &table; }
