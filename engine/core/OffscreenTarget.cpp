#include "engine/core/OffscreenTarget.h"

#include "engine/core/OpenGL.h"

#include <SDL.h>

#include <cstring>
#include <string>

namespace tarnix {

namespace {

// The entry points, looked up when the first target is made.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSEXTPROC genFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFEREXTPROC bindFramebuffer = nullptr;
    PFNGLDELETEFRAMEBUFFERSEXTPROC deleteFramebuffers = nullptr;
    PFNGLGENRENDERBUFFERSEXTPROC genRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFEREXTPROC bindRenderbuffer = nullptr;
    PFNGLDELETERENDERBUFFERSEXTPROC deleteRenderbuffers = nullptr;
    PFNGLRENDERBUFFERSTORAGEEXTPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkFramebufferStatus = nullptr;

    template <typename Pointer>
    static bool fetch(Pointer& pointer, const char* name) {
        pointer = reinterpret_cast<Pointer>(SDL_GL_GetProcAddress(name));
        return pointer != nullptr;
    }

    bool load() {
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        if (!extensions || !std::strstr(extensions, "GL_EXT_framebuffer_object"))
            return false;
        return fetch(genFramebuffers, "glGenFramebuffersEXT") && fetch(bindFramebuffer, "glBindFramebufferEXT") &&
               fetch(deleteFramebuffers, "glDeleteFramebuffersEXT") &&
               fetch(genRenderbuffers, "glGenRenderbuffersEXT") && fetch(bindRenderbuffer, "glBindRenderbufferEXT") &&
               fetch(deleteRenderbuffers, "glDeleteRenderbuffersEXT") &&
               fetch(renderbufferStorage, "glRenderbufferStorageEXT") &&
               fetch(framebufferRenderbuffer, "glFramebufferRenderbufferEXT") &&
               fetch(checkFramebufferStatus, "glCheckFramebufferStatusEXT");
    }
};

FramebufferCalls calls;

}  // namespace

OffscreenTarget::~OffscreenTarget() {
    if (framebuffer == 0)
        return;
    calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    calls.deleteFramebuffers(1, &framebuffer);
    const GLuint renderbuffers[] = {colour, depth};
    calls.deleteRenderbuffers(2, renderbuffers);
}

bool OffscreenTarget::create(int width, int height, std::string& error) {
    if (!calls.genFramebuffers && !calls.load()) {
        error = "this OpenGL driver has no framebuffer objects (GL_EXT_framebuffer_object)";
        return false;
    }
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
