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

}  // namespace tarnix
