#include "engine/core/Window.h"

#include "engine/core/Graphics.h"
#include "engine/platform/Platform.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarnix {

Window window;

namespace {

// The compatibility layer that carries the SDL 1.2 interface over SDL 2 calls
// itself 1.2.50 and later; classic SDL 1.2 ended at 1.2.15, and has no
// Wayland driver.
bool overSdl2() {
    const SDL_version* linked = SDL_Linked_Version();
    return linked->major == 1 && linked->minor == 2 && linked->patch >= 50;
}

}  // namespace

Window::Window() : title(new char[titleCapacity]), flags(SDL_OPENGL) { title[0] = '\0'; }

Window::~Window() { delete[] title; }

bool Window::init() {
    if (!chooseDisplayDriver(overSdl2())) {
        std::fprintf(stderr,
                     "tarnix: no display to open the demo's window on (DISPLAY is not set); to render it without one, "
                     "capture it on a virtual X server: xvfb-run -s \"-screen 0 1024x768x24\" tarnix --capture DIR "
                     "(scripts/play.sh does this)\n");
        return false;
    }
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "tarnix: cannot start SDL video%s%s%s: %s\n", display ? " on the display \"" : "",
                     display ? display : "", display ? "\"" : "", SDL_GetError());
        return false;
    }
    // Before any mode is set, the current one is the desktop's.
    const SDL_VideoInfo* desktop = SDL_GetVideoInfo();
    displayWidth = desktop ? desktop->current_w : 0;
    displayHeight = desktop ? desktop->current_h : 0;
    const bool atDisplaySize = native && displayWidth > 0 && displayHeight > 0;
    const int modeWidth = atDisplaySize ? displayWidth : width;
    const int modeHeight = atDisplaySize ? displayHeight : height;
    if (fullscreen || native)
        flags |= SDL_FULLSCREEN;
    askForDisplayPacing();
    surface = SDL_SetVideoMode(modeWidth, modeHeight, 0, flags);
    if (!surface) {
        std::fprintf(stderr, "tarnix: cannot set the %dx%d%s OpenGL video mode: %s\n", modeWidth, modeHeight,
                     (flags & SDL_FULLSCREEN) ? " fullscreen" : "", SDL_GetError());
        return false;
    }
    if (!drawingContextMade()) {
        std::fprintf(stderr, "tarnix: the %dx%d window has no OpenGL context to draw with (in a browser: no WebGL "
                             "2)\n", modeWidth, modeHeight);
        return false;
    }
    SDL_WM_SetCaption(windowCaption, nullptr);
    displayPaced = presentingWaitsForDisplay();
    if (native)
        setFrameLayout(surface->w, surface->h);
    return true;
}

void Window::close() {
    SDL_Quit();
    surface = nullptr;
}

void Window::setTitle(const char* text) {
    std::strncpy(title, text, titleCapacity - 1);
    title[titleCapacity - 1] = '\0';
    SDL_WM_SetCaption(title, nullptr);
}

const char* Window::getTitle() const { return title; }

void Window::setFullscreen(bool on) { fullscreen = on; }

bool Window::isFullscreen() const { return fullscreen; }

void Window::setNative(bool on) { native = on; }

bool Window::isNative() const { return native; }

int Window::getDisplayWidth() const { return displayWidth; }

int Window::getDisplayHeight() const { return displayHeight; }

void Window::setSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
}

int Window::getWidth() const { return width; }

int Window::getHeight() const { return height; }

bool Window::presentsAtDisplayRate() const { return displayPaced; }

std::uint32_t Window::getFlags() const { return flags; }

SDL_Surface* Window::getSurface() const { return surface; }

}  // namespace tarnix
