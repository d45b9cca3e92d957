#include "engine/media/Shader.h"

#include "engine/core/Extensions.h"

namespace tarnix {

namespace {

bool shaderEntryPointsPresent() { return glCreateShaderObjectARB != nullptr && glCreateProgramObjectARB != nullptr; }

GLhandleARB compiled(GLenum type, const char* source) {
    const GLhandleARB shader = glCreateShaderObjectARB(type);
    glShaderSourceARB(shader, 1, &source, nullptr);
    glCompileShaderARB(shader);
    return shader;
}

// The first line of a shader or program object's log, for an error message.
std::string firstLogLine(GLhandleARB object) {
    char log[512] = "";
    glGetInfoLogARB(object, sizeof log, nullptr, log);
    const std::string text = log;
    return text.substr(0, text.find('\n'));
}

GLhandleARB compiledChecked(GLenum type, const char* source, const char* kind, std::string& error) {
    const GLhandleARB shader = compiled(type, source);
    GLint done = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &done);
    if (done)
        return shader;
    error = std::string("cannot compile the ") + kind + " shader: " + firstLogLine(shader);
    glDeleteObjectARB(shader);
    return 0;
}

}  // namespace

void Shader::setVertexShader(const char* source) {
    if (shaderEntryPointsPresent())
        vertexShader = compiled(GL_VERTEX_SHADER_ARB, source);
}

void Shader::setFragmentShader(const char* source) {
    if (shaderEntryPointsPresent())
        fragmentShader = compiled(GL_FRAGMENT_SHADER_ARB, source);
}

void Shader::createShader(const char* shaderName) {
    name = shaderName;
    if (!shaderEntryPointsPresent())
        return;
    if (created)
        deleteShader();
    program = glCreateProgramObjectARB();
    glAttachObjectARB(program, vertexShader);
    glAttachObjectARB(program, fragmentShader);
    glLinkProgramARB(program);
    created = true;
}

void Shader::createShader(const char* shaderName, const char* vertexSource, const char* fragmentSource) {
    setVertexShader(vertexSource);
    setFragmentShader(fragmentSource);
    createShader(shaderName);
}

void Shader::useShader() {
    if (shaderEntryPointsPresent())
        glUseProgramObjectARB(program);
}

void Shader::releaseShader() {
    if (shaderEntryPointsPresent())
        glUseProgramObjectARB(0);
}

void Shader::deleteShader() {
    if (shaderEntryPointsPresent())
        glDeleteObjectARB(program);
}

unsigned Shader::getProgram() const { return program; }

const std::string& Shader::getName() const { return name; }

unsigned buildCheckedProgram(const char* vertexSource, const char* fragmentSource, std::string& error) {
    const GLhandleARB vertex = compiledChecked(GL_VERTEX_SHADER_ARB, vertexSource, "vertex", error);
    const GLhandleARB fragment =
        vertex ? compiledChecked(GL_FRAGMENT_SHADER_ARB, fragmentSource, "fragment", error) : 0;
    if (!fragment) {
        if (vertex)
            glDeleteObjectARB(vertex);
        return 0;
    }
    const GLhandleARB program = glCreateProgramObjectARB();
    glAttachObjectARB(program, vertex);
    glAttachObjectARB(program, fragment);
    glLinkProgramARB(program);
    // Attached objects live on with the program and go with it.
    glDeleteObjectARB(vertex);
    glDeleteObjectARB(fragment);
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (linked)
        return static_cast<unsigned>(program);
    error = "cannot link the program: " + firstLogLine(program);
    glDeleteObjectARB(program);
    return 0;
}

}  // namespace tarnix
