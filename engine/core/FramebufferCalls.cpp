#include "engine/core/FramebufferCalls.h"

#include "engine/core/Extensions.h"

#include <SDL.h>

namespace tarnix {

namespace {

template <typename Pointer>
bool fetch(Pointer& pointer, const char* name) {
    pointer = reinterpret_cast<Pointer>(SDL_GL_GetProcAddress(name));
    return pointer != nullptr;
}

bool load(FramebufferCalls& calls) {
    if (!driverHasExtension("GL_EXT_framebuffer_object"))
        return false;
    return fetch(calls.genFramebuffers, "glGenFramebuffersEXT") &&
           fetch(calls.bindFramebuffer, "glBindFramebufferEXT") &&
           fetch(calls.deleteFramebuffers, "glDeleteFramebuffersEXT") &&
           fetch(calls.genRenderbuffers, "glGenRenderbuffersEXT") &&
           fetch(calls.bindRenderbuffer, "glBindRenderbufferEXT") &&
           fetch(calls.deleteRenderbuffers, "glDeleteRenderbuffersEXT") &&
           fetch(calls.renderbufferStorage, "glRenderbufferStorageEXT") &&
           fetch(calls.framebufferRenderbuffer, "glFramebufferRenderbufferEXT") &&
           fetch(calls.checkFramebufferStatus, "glCheckFramebufferStatusEXT");
}

}  // namespace

const FramebufferCalls* framebufferCalls() {
    static FramebufferCalls calls;
    if (!calls.checkFramebufferStatus && !load(calls))
        return nullptr;
    return &calls;
}

}  // namespace tarnix
