#include "engine/core/Window.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>

namespace tarnix {

Window window;

namespace {

const char* const caption = "Kelbo vs. Vistral";

}  // namespace

Window::Window() : title(new char[titleCapacity]) { title[0] = '\0'; }

Window::~Window() { delete[] title; }

bool Window::init() {
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "tarnix: cannot start SDL video: %s\n", SDL_GetError());
        return false;
    }
    if (fullscreen)
        flags |= SDL_FULLSCREEN;
    surface = SDL_SetVideoMode(width, height, 0, flags);
    if (!surface) {
        std::fprintf(stderr, "tarnix: cannot set the %dx%d%s OpenGL video mode: %s\n", width, height,
                     (flags & SDL_FULLSCREEN) ? " fullscreen" : "", SDL_GetError());
        return false;
    }
    SDL_WM_SetCaption(caption, nullptr);
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

void Window::setSize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
}

int Window::getWidth() const { return width; }

int Window::getHeight() const { return height; }

std::uint32_t Window::getFlags() const { return flags; }

SDL_Surface* Window::getSurface() const { return surface; }

}  // namespace tarnix
