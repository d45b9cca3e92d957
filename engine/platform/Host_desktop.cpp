#include "engine/platform/Platform.h"

namespace tarnix {

void runFrameLoop(bool (*frame)()) {
    while (frame()) {
    }
}

void tellHost(const char*, const std::string&) {}

}  // namespace tarnix
