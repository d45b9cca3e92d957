#include "engine/platform/Platform.h"

namespace tarnix {

void runFrameLoop(bool (*frame)()) {
    while (frame()) {
    }
}

}  // namespace tarnix
