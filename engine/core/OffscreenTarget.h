#pragma once

#include <string>

namespace tarnix {

// A framebuffer object the frames are drawn into instead of the window, for
// captures drawn several times finer than the window: colour in RGBA, 8 bits
// a channel, and a 24-bit depth buffer. Everything drawn while it is bound
// lands in it, and glReadPixels reads it.
class OffscreenTarget {
public:
    OffscreenTarget() = default;
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    // Makes it width × height pixels, binds it and sets the viewport over all
    // of it. False, with the reason in `error`, when the driver has no
    // framebuffer objects (GL_EXT_framebuffer_object) or cannot make one of
    // that size; nothing stays bound then.
    bool create(int width, int height, std::string& error);

private:
    unsigned framebuffer = 0;  // OpenGL names, 0 when none
    unsigned colour = 0;
    unsigned depth = 0;
};

}  // namespace tarnix
