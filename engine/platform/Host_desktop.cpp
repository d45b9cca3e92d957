#include "engine/platform/Platform.h"

#include <SDL.h>

namespace tarnix {

const bool hostPacesFrames = false;

void runFrameLoop(bool (*frame)()) {
    while (frame()) {
    }
}

void askForDisplayPacing() { SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1); }

bool presentingWaitsForDisplay() {
    int swapInterval = 0;
    return SDL_GL_GetAttribute(SDL_GL_SWAP_CONTROL, &swapInterval) == 0 && swapInterval > 0;
}

bool drawingContextMade() { return true; }

void tellHost(const char*, const std::string&) {}

}  // namespace tarnix
