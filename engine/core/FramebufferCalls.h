#pragma once

#include "engine/core/OpenGL.h"

namespace tarnix {

// The entry points of GL_EXT_framebuffer_object, looked up the first time a
// caller asks for them: only captures drawn off-screen or converted on the
// renderer use them, so playing never needs the extension.
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
};

// The calls, all set; null when the driver has no framebuffer objects.
// Needs the OpenGL context.
const FramebufferCalls* framebufferCalls();

}  // namespace tarnix
