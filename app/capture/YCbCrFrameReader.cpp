#include "app/capture/YCbCrFrameReader.h"

#include "engine/core/Extensions.h"
#include "engine/core/FramebufferCalls.h"
#include "engine/core/Init.h"
#include "engine/media/Shader.h"

#include <string>

namespace tarnix {

namespace {

// The quads are given in clip coordinates; the texture coordinates say where
// in the frame each output pixel's samples lie.
const char* const vertexSource =
    "void main() {\n"
    "    gl_Position = gl_Vertex;\n"
    "    gl_TexCoord[0] = gl_MultiTexCoord0;\n"
    "}\n";

// Four Y' values an output pixel, from four frame pixels in a row read
// unfiltered: the output pixel's centre lies midway between the 2nd and 3rd.
const char* const lumaSource =
    "uniform sampler2D frame;\n"
    "uniform float across;  // one frame pixel, in texture coordinates\n"
    "const vec3 toLuma = vec3(0.2126, 0.7152, 0.0722);\n"
    "float luma(float pixel) {\n"
    "    return dot(texture2D(frame, vec2(gl_TexCoord[0].s + pixel * across, gl_TexCoord[0].t)).rgb, toLuma);\n"
    "}\n"
    "void main() {\n"
    "    gl_FragColor = (16.0 + 219.0 * vec4(luma(-1.5), luma(-0.5), luma(0.5), luma(1.5))) / 255.0;\n"
    "}\n";

// Cb, Cr, Cb, Cr: two chroma samples an output pixel, each the mean of a
// 2 × 2 block of frame pixels, read filtered at the block's centre (as
// ffmpeg's own conversion averages them, so both ways give the same video).
// The output pixel's centre lies between its two blocks.
const char* const chromaSource =
    "uniform sampler2D frame;\n"
    "uniform float across;\n"
    "const vec3 toBlue = vec3(-0.2126 / 1.8556, -0.7152 / 1.8556, 0.5);\n"
    "const vec3 toRed = vec3(0.5, -0.7152 / 1.5748, -0.0722 / 1.5748);\n"
    "vec3 at(float pixel) {\n"
    "    return texture2D(frame, vec2(gl_TexCoord[0].s + pixel * across, gl_TexCoord[0].t)).rgb;\n"
    "}\n"
    "void main() {\n"
    "    vec3 left = at(-1.0);\n"
    "    vec3 right = at(1.0);\n"
    "    gl_FragColor = (128.0 + 224.0 * vec4(dot(left, toBlue), dot(left, toRed), dot(right, toBlue),\n"
    "                                         dot(right, toRed))) / 255.0;\n"
    "}\n";

// The shader program in use, to be put back after the conversion's own. A
// driver whose shaders are only the ARB extension's does not know
// GL_CURRENT_PROGRAM: the error is cleared and 0 (none) assumed.
GLhandleARB currentProgram() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    while (glGetError() != GL_NO_ERROR) {
    }
    return static_cast<GLhandleARB>(program);
}

// A linked program with its sampler on texture unit 0 and `across` set; 0
// after an error.
unsigned link(const char* fragmentSource, int width, std::string& error) {
    const GLhandleARB program = buildCheckedProgram(vertexSource, fragmentSource, error);
    if (!program) {
        error = "the driver cannot build the Y'CbCr shaders: " + error;
        return 0;
    }
    const GLhandleARB previous = currentProgram();
    glUseProgramObjectARB(program);
    glUniform1iARB(glGetUniformLocationARB(program, "frame"), 0);
    glUniform1fARB(glGetUniformLocationARB(program, "across"), 1.0f / static_cast<float>(width));
    glUseProgramObjectARB(previous);
    return static_cast<unsigned>(program);
}

GLuint boundFramebuffer() {
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    return static_cast<GLuint>(bound);
}

// One quad over clip rows bottom..top, its texture rows running from the
// frame's top (t 1) at the bottom edge to its bottom (t 0) at the top edge:
// the planes' first row, read back first, is the frame's top.
void drawPlane(unsigned program, GLint filter, float bottom, float top) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glUseProgramObjectARB(program);
    glBegin(GL_QUADS);
        glTexCoord2f(0, 1); glVertex2f(-1, bottom);
        glTexCoord2f(1, 1); glVertex2f(1, bottom);
        glTexCoord2f(1, 0); glVertex2f(1, top);
        glTexCoord2f(0, 0); glVertex2f(-1, top);
    glEnd();
}

// What the conversion draws with: no test, blending or masking between the
// shaders and the planes' bytes.
void setPlainDrawing() {
    const GLenum off[] = {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_CULL_FACE,
                          GL_DITHER, GL_COLOR_LOGIC_OP, GL_POLYGON_STIPPLE, GL_POLYGON_SMOOTH};
    for (GLenum capability : off)
        glDisable(capability);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

}  // namespace

YCbCrFrameReader::~YCbCrFrameReader() { release(); }

void YCbCrFrameReader::release() {
    if (lumaProgram)
        glDeleteObjectARB(lumaProgram);
    if (chromaProgram)
        glDeleteObjectARB(chromaProgram);
    lumaProgram = chromaProgram = 0;
    if (const FramebufferCalls* calls = framebufferCalls()) {
        if (framebuffer)
            calls->deleteFramebuffers(1, &framebuffer);
        if (planes)
            calls->deleteRenderbuffers(1, &planes);
    }
    framebuffer = planes = 0;
    if (frame)
        glDeleteTextures(1, &frame);
    frame = 0;
}

bool YCbCrFrameReader::create(int frameWidth, int frameHeight, std::string& error) {
    release();
    if (frameWidth <= 0 || frameHeight <= 0 || frameWidth % 4 != 0 || frameHeight % 2 != 0) {
        error = "Y'CbCr frames need a width a multiple of 4 and an even height, not " + std::to_string(frameWidth) +
                " x " + std::to_string(frameHeight);
        return false;
    }
    const FramebufferCalls* calls = framebufferCalls();
    if (!calls || !init.useShaders() || !driverHasExtension("GL_ARB_texture_non_power_of_two")) {
        error = "this OpenGL driver lacks framebuffer objects, GLSL shaders or textures of any size";
        return false;
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (frameWidth > largest || frameHeight > largest) {
        error = "this OpenGL driver has textures of at most " + std::to_string(largest) + " pixels a side";
        return false;
    }
    width = frameWidth;
    height = frameHeight;

    // A texture the driver could not make would leave every frame read the
    // same stale pixels: an error here is a failure. Errors of others before
    // this are not ours to report, and are cleared first.
    while (glGetError() != GL_NO_ERROR) {
    }
    glPushAttrib(GL_TEXTURE_BIT);
    glGenTextures(1, &frame);
    glBindTexture(GL_TEXTURE_2D, frame);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    const bool made = glGetError() == GL_NO_ERROR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPopAttrib();
    if (!made) {
        error = "this OpenGL driver cannot make a texture of " + std::to_string(width) + " x " +
                std::to_string(height) + " for the frames";
        release();
        return false;
    }

    const GLuint previous = boundFramebuffer();
    GLint previousRenderbuffer = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &previousRenderbuffer);
    calls->genRenderbuffers(1, &planes);
    calls->bindRenderbuffer(GL_RENDERBUFFER_EXT, planes);
    calls->renderbufferStorage(GL_RENDERBUFFER_EXT, GL_RGBA8, width / 4, height * 3 / 2);
    calls->bindRenderbuffer(GL_RENDERBUFFER_EXT, static_cast<GLuint>(previousRenderbuffer));
    calls->genFramebuffers(1, &framebuffer);
    calls->bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    calls->framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, planes);
    const bool complete = calls->checkFramebufferStatus(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    calls->bindFramebuffer(GL_FRAMEBUFFER_EXT, previous);
    if (!complete) {
        error = "this OpenGL driver cannot draw Y'CbCr planes for " + std::to_string(width) + " x " +
                std::to_string(height);
        release();
        return false;
    }
    lumaProgram = link(lumaSource, width, error);
    chromaProgram = lumaProgram ? link(chromaSource, width, error) : 0;
    if (!chromaProgram) {
        release();
        return false;
    }
    return true;
}

std::size_t YCbCrFrameReader::frameBytes() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3 / 2;
}

void YCbCrFrameReader::read(unsigned char* to) {
    const FramebufferCalls& calls = *framebufferCalls();
    const GLuint drawnInto = boundFramebuffer();
    const GLhandleARB previousProgram = currentProgram();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    if (glActiveTextureARB_ptr)
        glActiveTextureARB_ptr(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, frame);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);

    calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, framebuffer);
    glViewport(0, 0, width / 4, height * 3 / 2);
    setPlainDrawing();
    // The Y' plane fills the lower two thirds of the planes, the chroma the rest.
    const float lumaTop = 1.0f / 3.0f;
    drawPlane(lumaProgram, GL_NEAREST, -1.0f, lumaTop);
    drawPlane(chromaProgram, GL_LINEAR, lumaTop, 1.0f);
    glUseProgramObjectARB(previousProgram);

    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(0, 0, width / 4, height * 3 / 2, GL_RGBA, GL_UNSIGNED_BYTE, to);

    calls.bindFramebuffer(GL_FRAMEBUFFER_EXT, drawnInto);
    glPopClientAttrib();
    glPopAttrib();
}

}  // namespace tarnix
