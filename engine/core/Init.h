#pragma once

namespace tarnix {

// The engine object: brings the window, audio and OpenGL state up in a fixed
// order, probes the OpenGL extensions, and shuts the engine down again.
class Init {
public:
    // Window, audio device, OpenGL state, hidden cursor, extension probing.
    // Returns false when the window could not be opened (already reported on
    // standard error); nothing may be drawn then.
    bool init();
    // The engine's initial OpenGL state: depth test on, and eye-linear texture
    // coordinate planes equal to the eye-space position (generation itself
    // stays off; projected layers switch it on while they draw).
    void openglInit();
    // Checks the current context's extension string; see the overload.
    bool extensions();
    // Checks the given extension string (substring matches) against the
    // engine's list, clears the capability flags whose extensions are missing
    // and fetches the entry points of what remains usable. True when all three
    // flags still hold. A null string counts as empty.
    bool extensions(const char* extensionString);
    // Closes the sound device, then shuts SDL down.
    void close();
    // Kept for callers that pass argv[0]; the engine resolves data relative to
    // the working directory, so this does nothing.
    void setProgramDirectory(char* path);

    bool useShaders() const;
    bool useVertexBufferObjects() const;
    bool usePointSprites() const;

private:
    // Each starts true and is only ever cleared, by extensions().
    bool shadersAvailable = true;
    bool vertexBuffersAvailable = true;
    bool pointSpritesAvailable = true;
};

extern Init init;

}  // namespace tarnix
