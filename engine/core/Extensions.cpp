#include "engine/core/Extensions.h"

#include "engine/core/Init.h"

#include <SDL.h>

#include <cstring>

namespace tarnix {

PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;

PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;

PFNGLPOINTPARAMETERFARBPROC glPointParameterfARB = nullptr;
PFNGLPOINTPARAMETERFVARBPROC glPointParameterfvARB = nullptr;

PFNGLFENCESYNCPROC glFenceSync_ptr = nullptr;
PFNGLCLIENTWAITSYNCPROC glClientWaitSync_ptr = nullptr;
PFNGLDELETESYNCPROC glDeleteSync_ptr = nullptr;

PFNGLACTIVETEXTUREARBPROC glActiveTextureARB_ptr = nullptr;
PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB_ptr = nullptr;

namespace {

enum class Capability { shaders, vertexBuffers, pointSprites, none };

struct RequiredExtension {
    const char* name;
    Capability clearedWhenMissing;
};

const RequiredExtension requiredExtensions[] = {
    {"GL_ARB_fragment_shader", Capability::shaders},
    {"GL_ARB_fragment_program", Capability::shaders},
    {"GL_ARB_shading_language_100", Capability::shaders},
    {"GL_ARB_vertex_shader", Capability::shaders},
    {"GL_ARB_shader_objects", Capability::shaders},
    {"GL_ARB_multitexture", Capability::none},
    {"GL_EXT_texture_env_combine", Capability::none},
    {"GL_ARB_texture_compression", Capability::none},
    {"GL_ARB_texture_cube_map", Capability::none},
    {"GL_ARB_texture_env_add", Capability::none},
    {"GL_ARB_vertex_program", Capability::none},
    {"GL_ARB_vertex_buffer_object", Capability::vertexBuffers},
    {"GL_ARB_point_sprite", Capability::pointSprites},
    {"GL_ARB_point_parameters", Capability::pointSprites},
};

// A plain substring search: a name that only begins a longer extension name
// still counts as present, as drivers of the engine's era were matched.
bool mentions(const char* extensionString, const char* name) {
    return std::strstr(extensionString, name) != nullptr;
}

template <typename Pointer>
void fetch(Pointer& pointer, const char* name) {
    pointer = reinterpret_cast<Pointer>(SDL_GL_GetProcAddress(name));
}

void fetchShaderEntryPoints() {
    fetch(glCreateProgramObjectARB, "glCreateProgramObjectARB");
    fetch(glDeleteObjectARB, "glDeleteObjectARB");
    fetch(glCreateShaderObjectARB, "glCreateShaderObjectARB");
    fetch(glShaderSourceARB, "glShaderSourceARB");
    fetch(glCompileShaderARB, "glCompileShaderARB");
    fetch(glGetObjectParameterivARB, "glGetObjectParameterivARB");
    fetch(glAttachObjectARB, "glAttachObjectARB");
    fetch(glGetInfoLogARB, "glGetInfoLogARB");
    fetch(glLinkProgramARB, "glLinkProgramARB");
    fetch(glUseProgramObjectARB, "glUseProgramObjectARB");
    fetch(glGetUniformLocationARB, "glGetUniformLocationARB");
    fetch(glUniform1fARB, "glUniform1fARB");
    fetch(glUniform1iARB, "glUniform1iARB");
}

void fetchVertexBufferEntryPoints() {
    fetch(glGenBuffersARB, "glGenBuffersARB");
    fetch(glBindBufferARB, "glBindBufferARB");
    fetch(glBufferDataARB, "glBufferDataARB");
    fetch(glDeleteBuffersARB, "glDeleteBuffersARB");
}

void fetchPointParameterEntryPoints() {
    fetch(glPointParameterfARB, "glPointParameterfARB");
    fetch(glPointParameterfvARB, "glPointParameterfvARB");
}

void fetchFenceEntryPoints() {
    fetch(glFenceSync_ptr, "glFenceSync");
    fetch(glClientWaitSync_ptr, "glClientWaitSync");
    fetch(glDeleteSync_ptr, "glDeleteSync");
}

void fetchMultitextureEntryPoints() {
    fetch(glActiveTextureARB_ptr, "glActiveTextureARB");
    fetch(glMultiTexCoord2fARB_ptr, "glMultiTexCoord2fARB");
}

}  // namespace

bool driverHasExtension(const char* name) {
    const char* extensionString = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensionString && mentions(extensionString, name);
}

bool Init::extensions() { return extensions(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS))); }

bool Init::extensions(const char* extensionString) {
    if (!extensionString)
        extensionString = "";
    for (const RequiredExtension& extension : requiredExtensions) {
        if (mentions(extensionString, extension.name))
            continue;
        switch (extension.clearedWhenMissing) {
        case Capability::shaders: shadersAvailable = false; break;
        case Capability::vertexBuffers: vertexBuffersAvailable = false; break;
        case Capability::pointSprites: pointSpritesAvailable = false; break;
        case Capability::none: break;
        }
    }
    if (shadersAvailable)
        fetchShaderEntryPoints();
    if (vertexBuffersAvailable)
        fetchVertexBufferEntryPoints();
    if (pointSpritesAvailable)
        fetchPointParameterEntryPoints();
    fetchMultitextureEntryPoints();
    // A driver's lookup may answer any name; only one that names the
    // extension is asked.
    if (mentions(extensionString, "GL_ARB_sync"))
        fetchFenceEntryPoints();
    return shadersAvailable && vertexBuffersAvailable && pointSpritesAvailable;
}

}  // namespace tarnix
