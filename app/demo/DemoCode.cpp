#include "app/demo/DemoCode.h"

#include "app/demo/Demo.h"
#include "app/demo/FrameState.h"
#include "engine/sync/SyncTracks.h"

#include <cstdint>
#include <optional>

namespace {

FrameState setUpState;                // what the set-up left
std::optional<MotionGrid> frameGrid;  // the frames drawn since the state was last put back
unsigned lastFrameMs = 0;             // the time of the grid's last frame
std::uint64_t gridRevision = 0;       // the sync tracks' keys the grid's steps were taken with

void setUpObjects() {
    takeOverRandomSequence();
    setUpDemoObjects();
}

void keepSetUpState() {
    setUpState = saveFrameState();
    frameGrid.reset();
}

// A frame earlier than the last one starts the grid again from the set-up's
// state, and so does one after the sync tracks' keys changed (some steps add
// up tuned values); a later one goes on along it.
void prepareFrameAt(unsigned t) {
    const std::uint64_t revision = tarnix::sync::tracks().revision();
    if (!frameGrid || t < lastFrameMs || revision != gridRevision) {
        restoreFrameState(setUpState);
        frameGrid.emplace();
        gridRevision = revision;
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
