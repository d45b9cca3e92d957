#pragma once

#include "engine/core/OpenGL.h"

// Entry points of the ARB extensions, fetched by Init::extensions() once the
// OpenGL context exists; null until then and when a lookup fails. They live in
// the namespace tarnix so that they never collide with the OpenGL library's own
// symbols of the same names.

namespace tarnix {

// Whether the current OpenGL context's driver names the extension `name`
// (a substring search, as Init::extensions() matches). Needs a context.
bool driverHasExtension(const char* name);

// Shader objects (fetched while useShaders() holds).
extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLUNIFORM1FARBPROC glUniform1fARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;

// Vertex buffer objects (fetched while useVertexBufferObjects() holds).
extern PFNGLGENBUFFERSARBPROC glGenBuffersARB;
extern PFNGLBINDBUFFERARBPROC glBindBufferARB;
extern PFNGLBUFFERDATAARBPROC glBufferDataARB;
extern PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB;

// Point parameters (fetched while usePointSprites() holds).
extern PFNGLPOINTPARAMETERFARBPROC glPointParameterfARB;
extern PFNGLPOINTPARAMETERFVARBPROC glPointParameterfvARB;

// Fences (fetched where the driver names GL_ARB_sync; null elsewhere, as in a
// browser).
extern PFNGLFENCESYNCPROC glFenceSync_ptr;
extern PFNGLCLIENTWAITSYNCPROC glClientWaitSync_ptr;
extern PFNGLDELETESYNCPROC glDeleteSync_ptr;

// Multitexture (always fetched).
extern PFNGLACTIVETEXTUREARBPROC glActiveTextureARB_ptr;
extern PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB_ptr;

}  // namespace tarnix
