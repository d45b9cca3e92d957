#include "engine/core/Graphics.h"

#include "engine/core/Extensions.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace tarnix {

namespace {

const double fieldOfViewDegrees = 45.0;
const float nearPlane = 0.01f;  // widened to double for GLU as it stands
const double farPlane = 10000.0;

unsigned framesPresented = 0;
std::function<void()> frameObserver;
std::function<void()> frameOverlay;
std::chrono::milliseconds presentInterval{0};
std::chrono::steady_clock::time_point lastPresented;
float pixelScale = 1.0f;  // framebuffer pixels to a window pixel
// The framebuffer's size and the picture on it; a zero-sized output means
// the picture covers the whole framebuffer (no bars to paint).
int outputWidth = 0, outputHeight = 0;
PictureArea pictureArea;
// Set by setStopsCutFrames where it has an effect: fences to wait with and a
// renderer on the processor.
bool stopsCutFrames = false;
bool frameCut = false;  // the frame being drawn was left unfinished

// Hands the renderer what was drawn so far and waits until it is done, a
// millisecond at a time, watching for a stop; false once one was asked.
bool drawnWithoutStop() {
    GLsync fence = glFenceSync_ptr(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    bool stopped = input.stopAsked();
    while (!stopped && glClientWaitSync_ptr(fence, 0, 0) == GL_TIMEOUT_EXPIRED) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stopped = input.stopAsked();
    }
    glDeleteSync_ptr(fence);
    return !stopped;
}

void clearToBlack(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    glScissor(x, y, width, height);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Whatever the frame drew outside its picture (a glClear ignores the
// viewport) is painted over, so that the bars stay black.
void paintBars() {
    const PictureArea& p = pictureArea;
    if (outputWidth == 0 || (p.width == outputWidth && p.height == outputHeight))
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glEnable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    clearToBlack(0, 0, p.x, outputHeight);
    clearToBlack(p.x + p.width, 0, outputWidth - p.x - p.width, outputHeight);
    clearToBlack(p.x, 0, p.width, p.y);
    clearToBlack(p.x, p.y + p.height, p.width, outputHeight - p.y - p.height);
    glPopAttrib();
}

}  // namespace

void flush() {
    if (frameCut) {
        frameCut = false;
        return;
    }
    if (frameOverlay)
        frameOverlay();
    paintBars();
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

void setStopsCutFrames(bool on) {
    stopsCutFrames = on && glFenceSync_ptr && glClientWaitSync_ptr && glDeleteSync_ptr && drawsOnTheProcessor();
    frameCut = false;
}

bool drawInParts(unsigned primitive, unsigned first, unsigned last, unsigned itemsAPart,
                 const std::function<void(unsigned)>& emit) {
    if (frameCut)
        return false;
    glBegin(primitive);
    for (unsigned i = first; i < last; ++i) {
        emit(i);
        const bool partEnds = stopsCutFrames && (i + 1 - first) % itemsAPart == 0 && i + 1 < last;
        if (!partEnds)
            continue;
        glEnd();
        if (!drawnWithoutStop()) {
            frameCut = true;
            return false;
        }
        glBegin(primitive);
    }
    glEnd();
    return true;
}

void setPresentInterval(unsigned milliseconds) { presentInterval = std::chrono::milliseconds(milliseconds); }

void setFrameObserver(std::function<void()> observer) { frameObserver = std::move(observer); }

void setFrameOverlay(std::function<void()> overlay) { frameOverlay = std::move(overlay); }

unsigned getFramesPresented() { return framesPresented; }

bool drawsOnTheProcessor() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (!renderer)
        return false;
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "GDI Generic", "SwiftShader"})
        if (std::strstr(renderer, software))
            return true;
    return false;
}

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

// ---- The picture on its framebuffer ----

void setFrameLayout(int width, int height) {
    const double scale = std::min(static_cast<double>(width) / window.getWidth(),
                                  static_cast<double>(height) / window.getHeight());
    PictureArea area;
    area.width = std::clamp(static_cast<int>(std::lround(window.getWidth() * scale)), 1, width);
    area.height = std::clamp(static_cast<int>(std::lround(window.getHeight() * scale)), 1, height);
    area.x = (width - area.width) / 2;
    area.y = (height - area.height) / 2;
    outputWidth = width;
    outputHeight = height;
    pictureArea = area;
    glViewport(area.x, area.y, area.width, area.height);
    setPixelScale(static_cast<float>(scale));
}

PictureArea getPictureArea() {
    if (outputWidth == 0) {
        PictureArea whole;
        whole.width = window.getWidth();
        whole.height = window.getHeight();
        return whole;
    }
    return pictureArea;
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
