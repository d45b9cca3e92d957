#include "engine/media/ShaderManager.h"

#include "engine/core/Init.h"
#include "engine/io/FileIO.h"

#include <cassert>
#include <cstdio>

namespace tarnix {

ShaderManager shaderManager;

namespace {

// The whole file as one zero-terminated string; false when it does not open.
bool readSource(const std::string& path, std::string& source) {
    FileIO file(path);
    if (!file) {
        std::fprintf(stderr, "tarnix: %s: cannot open the shader source\n", path.c_str());
        return false;
    }
    source.assign(reinterpret_cast<const char*>(file.readFile()), file.getLength());
    return true;
}

}  // namespace

void ShaderManager::loadShader(const char* name, const char* vertexSource, const char* fragmentSource) {
    auto shader = std::make_unique<Shader>();
    shader->createShader(name, vertexSource, fragmentSource);
    shaders.push_back(std::move(shader));
}

void ShaderManager::loadShader(const char* vertexFile, const char* fragmentFile) {
    std::string vertexSource;
    std::string fragmentSource;
    const bool readVertex = readSource(init.getShaderPath(vertexFile), vertexSource);
    const bool readFragment = readSource(init.getShaderPath(fragmentFile), fragmentSource);
    if (!readVertex || !readFragment)
        return;
    std::string name = vertexFile;
    if (name.size() >= 3)
        name.resize(name.size() - 3);
    loadShader(name.c_str(), vertexSource.c_str(), fragmentSource.c_str());
}

Shader* ShaderManager::getShader(unsigned i) {
    assert(i < shaders.size());
    return shaders[i].get();
}

Shader* ShaderManager::getShader(const char* name) {
    for (const std::unique_ptr<Shader>& shader : shaders)
        if (shader->getName() == name)
            return shader.get();
    return nullptr;
}

unsigned ShaderManager::getShaderCount() const { return static_cast<unsigned>(shaders.size()); }

}  // namespace tarnix
