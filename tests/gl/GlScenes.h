#pragma once

#include <string>
#include <vector>

// Small scenes, each drawn with one group of the OpenGL 1.x calls the engine
// makes, for holding the browser's OpenGL layer to the desktop's: the same
// scene drawn by Mesa and by the layer in a browser must give the same
// pixels, within what each scene's rasterisation lets differ.

namespace glscenes {

// The side of a scene's square, pixels, drawn at the framebuffer's lower left.
inline constexpr int side = 64;

struct Scene {
    const char* name;
    // How far the two may differ: the share of pixels allowed more than a few
    // levels apart (0 where every pixel is rasterised alike).
    double apartShare;
    void (*draw)();
};

const std::vector<Scene>& scenes();

// Draws `scene` from a cleared square and a reset state (identity matrices,
// everything off) and reads it back: side × side RGB, bottom row first. Needs
// the OpenGL context, with the engine's extension entry points fetched.
std::vector<unsigned char> drawScene(const Scene& scene);

// The picture as lowercase hex, two digits a byte, and back ("" for none).
std::string toHex(const std::vector<unsigned char>& bytes);
std::vector<unsigned char> fromHex(const std::string& hex);

}  // namespace glscenes
