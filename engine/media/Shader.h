#pragma once

#include <string>

namespace tarnix {

// One GLSL program: a vertex and a fragment shader linked together through the
// ARB shader objects. Compile and link results are not checked: a program that
// fails to build is one OpenGL refuses to use. Without the shader extensions
// (Init::useShaders() false) every operation does nothing.
class Shader {
public:
    // Create and compile the shader object from one zero-terminated source.
    void setVertexShader(const char* source);
    void setFragmentShader(const char* source);
    // Stores the name and links a new program from the current shader objects,
    // deleting the program of an earlier call.
    void createShader(const char* name);
    void createShader(const char* name, const char* vertexSource, const char* fragmentSource);
    // Draw with this program.
    void useShader();
    // Back to fixed-function drawing, whichever program was in use.
    void releaseShader();
    // Deletes the program object (not the shader objects).
    void deleteShader();
    // The program object, for uniform lookups.
    unsigned getProgram() const;
    const std::string& getName() const;

private:
    unsigned vertexShader = 0;    // GL handles
    unsigned fragmentShader = 0;
    unsigned program = 0;
    bool created = false;         // a program has been created and linked
    std::string name;
};

// Compiles and links a program from two sources, checking each step, for code
// that must know whether it can draw (a capture's converter); the demo's own
// shaders go through Shader. The program (an ARB handle, the caller's to
// delete), or 0 with "cannot compile the vertex shader: " (fragment, link)
// and the driver's first log line in `error`. Needs Init::useShaders().
unsigned buildCheckedProgram(const char* vertexSource, const char* fragmentSource, std::string& error);

}  // namespace tarnix
