#include "engine/core/OffscreenTarget.h"

#include "engine/core/FramebufferCalls.h"

#include <string>

namespace tarnix {

OffscreenTarget::~OffscreenTarget() {
    if (framebuffer == 0)
        return;
    const FramebufferCalls& calls = *framebufferCalls();
    calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    calls.deleteFramebuffers(1, &framebuffer);
    const GLuint renderbuffers[] = {colour, depth};
    calls.deleteRenderbuffers(2, renderbuffers);
}

bool OffscreenTarget::create(int width, int height, std::string& error) {
    const FramebufferCalls* found = framebufferCalls();
    if (!found) {
        error = "this OpenGL driver has no framebuffer objects (GL_EXT_framebuffer_object)";
        return false;
    }
    const FramebufferCalls& calls = *found;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
    if (width > largest || height > largest) {
        error = "this OpenGL driver draws off-screen at most " + std::to_string(largest) + " pixels a side, not " +
                std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    calls.genRenderbuffers(1, &colour);
    calls.bindRenderbuffer(GL_RENDERBUFFER_EXT, colour);
    calls.renderbufferStorage(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
    calls.genRenderbuffers(1, &depth);
    calls.bindRenderbuffer(GL_RENDERBUFFER_EXT, depth);
    calls.renderbufferStorage(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    calls.bindRenderbuffer(GL_RENDERBUFFER_EXT, 0);
    calls.genFramebuffers(1, &framebuffer);
    calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    calls.framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
    calls.framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    if (calls.checkFramebufferStatus(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        error = "this OpenGL driver cannot draw off-screen at " + std::to_string(width) + " x " + std::to_string(height);
        calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
        return false;  // the destructor deletes what was made
    }
    glViewport(0, 0, width, height);
    return true;
}

}  // namespace tarnix
