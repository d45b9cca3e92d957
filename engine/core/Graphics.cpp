#include "engine/core/Graphics.h"

#include "engine/core/Extensions.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"

#include <SDL.h>

#include <chrono>

namespace tarnix {

namespace {

const double fieldOfViewDegrees = 45.0;
const float nearPlane = 0.01f;  // widened to double for GLU as it stands
const double farPlane = 10000.0;

unsigned framesPresented = 0;
std::function<void()> frameObserver;
std::chrono::milliseconds presentInterval{0};
std::chrono::steady_clock::time_point lastPresented;
float pixelScale = 1.0f;  // framebuffer pixels to a window pixel

}  // namespace

void flush() {
    if (frameObserver)
        frameObserver();
    ++framesPresented;
    if (presentInterval.count() > 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPresented < presentInterval)
            return;
        lastPresented = now;
    }
    SDL_GL_SwapBuffers();
}

void setPresentInterval(unsigned milliseconds) { presentInterval = std::chrono::milliseconds(milliseconds); }

void setFrameObserver(std::function<void()> observer) { frameObserver = std::move(observer); }

unsigned getFramesPresented() { return framesPresented; }

void viewReset() {
    const float aspect = static_cast<float>(window.getWidth()) / static_cast<float>(window.getHeight());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fieldOfViewDegrees, aspect, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The pushes here are popped by perspective3D(), which every caller pairs with
// this call; the pass spans two functions by design.
void perspective2D(const int& w, const int& h) {
    glDisable(GL_DEPTH_TEST);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glPushMatrix();
    glOrtho(0, w, 0, h, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void perspective2D() { perspective2D(window.getWidth(), window.getHeight()); }

void perspective3D() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    viewReset();
}

// ---- Sizes in pixels ----

void setPixelScale(float scale) { pixelScale = scale; }

float getPixelScale() { return pixelScale; }

void pointSize(float pixels) { glPointSize(pixels * pixelScale); }

void lineWidth(float pixels) { glLineWidth(pixels * pixelScale); }

void pointSizeLimits(float smallest, float largest, float fadeThreshold) {
    if (!glPointParameterfARB)
        return;
    glPointParameterfARB(GL_POINT_FADE_THRESHOLD_SIZE_ARB, fadeThreshold * pixelScale);
    glPointParameterfARB(GL_POINT_SIZE_MIN_ARB, smallest * pixelScale);
    glPointParameterfARB(GL_POINT_SIZE_MAX_ARB, largest * pixelScale);
}

}  // namespace tarnix
