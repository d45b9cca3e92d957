#pragma once

#include "engine/media/Shader.h"

#include <memory>
#include <vector>

namespace tarnix {

// The engine's shader programs, in load order, found by index or name.
class ShaderManager {
public:
    // Builds a program from two sources and appends it under `name`.
    void loadShader(const char* name, const char* vertexSource, const char* fragmentSource);
    // Builds a program from two files of data/shaders/ and appends it, named
    // after the vertex file without its last three characters ("toon.vs" gives
    // "toon"). Adds nothing, after one line on standard error, when a file
    // does not open.
    void loadShader(const char* vertexFile, const char* fragmentFile);
    // The i-th program; i must be below getShaderCount().
    Shader* getShader(unsigned i);
    // The first program with exactly this name, or null.
    Shader* getShader(const char* name);
    unsigned getShaderCount() const;

private:
    std::vector<std::unique_ptr<Shader>> shaders;
};

extern ShaderManager shaderManager;

}  // namespace tarnix
