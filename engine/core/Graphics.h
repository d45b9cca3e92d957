#pragma once

#include <functional>

// View set-up shared by every drawing routine. All act on the current OpenGL
// context, which Window::init() creates.

namespace tarnix {

// Presents the finished frame (swaps the buffers). A frame observer, when one
// is set, sees the finished frame in the back buffer first. A frame a stop
// cut short is neither seen nor presented.
void flush();
// Makes flush() present a frame only when at least `milliseconds` of real
// time have passed since the last one it presented; 0 (the default) presents
// every frame. For captures, which read each frame before it would be
// presented: showing ten a second costs a fraction of showing all.
void setPresentInterval(unsigned milliseconds);
// Called by flush() with the frame complete and not yet presented, for
// capturing frames; an empty function removes it.
void setFrameObserver(std::function<void()> observer);
// Called by flush() first, to draw over the finished picture what is not
// part of it (the development mode's timeline strip and messages); a frame
// observer sees it. An empty function removes it; captures never set one.
void setFrameOverlay(std::function<void()> overlay);
// Frames finished by flush() since the program started, presented or not.
unsigned getFramesPresented();
// True when the OpenGL renderer runs on the processor (Mesa's llvmpipe or
// softpipe, or another software rasteriser): work handed to it costs the
// processor time it was meant to save.
bool drawsOnTheProcessor();

// ---- Frames a stop may cut short

// Whether a stop asked while a frame is drawn leaves the rest of it undrawn
// and unshown: for live play, where nothing keeps the frame, never for a
// capture. It matters only where a renderer on the processor takes long over
// a frame (half a second for the cloud at 1440 x 1080) and has to be given
// its work in parts to be left at once; elsewhere nothing changes. Needs the
// OpenGL context.
void setStopsCutFrames(bool on);
// Draws items first..last-1 between glBegin(primitive) and glEnd, emit(i)
// giving item i's vertices. Where stops cut frames, the renderer gets them
// `itemsAPart` at a time and each part is waited for, watching for a stop;
// false once a stop cut the frame, the rest left out (later calls of the
// same frame draw nothing). The picture is the same either way.
bool drawInParts(unsigned primitive, unsigned first, unsigned last, unsigned itemsAPart,
                 const std::function<void(unsigned)>& emit);

// The engine's 3D view: a 45° vertical field of view at the window's aspect,
// near 0.01, far 10000, and an identity modelview (left selected).
void viewReset();

// Enters 2D drawing on a w × h system with its origin at the bottom left,
// whatever the window's size in pixels: depth test off, the modelview and
// projection matrices saved. Every caller ends the pass with perspective3D().
void perspective2D(const int& w, const int& h);
// perspective2D over the window's own size in pixels.
void perspective2D();

// Leaves 2D drawing: restores both saved matrices, turns the depth test back on
// and resets to the 3D view, so both matrices are the engine's 3D view with an
// identity modelview afterwards.
void perspective3D();

// ---- The picture on its framebuffer

// Where the window's picture lies on the framebuffer it is drawn into, in
// framebuffer pixels from the bottom left.
struct PictureArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// Lays the window's picture (its getWidth() × getHeight(), 4:3) out on a
// framebuffer of outputWidth × outputHeight pixels: as large as fits with its
// shape kept, centred. Drawing goes there (the viewport), everything sized in
// pixels is scaled by the picture's size over the window's (setPixelScale,
// whole or not), and flush() paints the bars around it black. For a fullscreen
// window at the display's own size and for captures drawn at any size; the
// default is the window's own size, with no bars. Needs the OpenGL context,
// with the framebuffer bound.
void setFrameLayout(int outputWidth, int outputHeight);
PictureArea getPictureArea();

// ---- Sizes in pixels

// Framebuffer pixels to a window pixel: 1 on the screen, N when frames are
// drawn N times finer (a sharp capture). Everything the engine sizes in
// pixels goes through the calls below, so that the picture stays the same
// picture, only finer.
void setPixelScale(float scale);
float getPixelScale();
// glPointSize and glLineWidth of sizes in window pixels.
void pointSize(float pixels);
void lineWidth(float pixels);
// The point parameters that bound attenuated point sprites (smallest and
// largest size, the size below which they fade), in window pixels; nothing
// without the point-parameter entry points.
void pointSizeLimits(float smallest, float largest, float fadeThreshold);

}  // namespace tarnix
