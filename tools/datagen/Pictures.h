#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pictures drawn by program for the demo's data and the examples: nothing of
// the demo's content is kept as binary files in the repository.

namespace datagen {

// RGBA words (R in the low byte), rows top first, as a PNG stores them.
struct Picture {
    int width = 0;
    int height = 0;
    bool alpha = true;  // false: written as an RGB PNG
    std::vector<std::uint32_t> pixels;

    Picture() = default;
    Picture(int w, int h, bool hasAlpha);
    std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

std::uint32_t rgba(int r, int g, int b, int a = 255);

// The bitmap font sheet: sheetPixels square, 10 × 10 cells, the characters
// 32 to 131 in code order from the top-left cell (127 and up blank), white
// with coverage as alpha. Rendered from a DejaVu font with FreeType; empty
// (width 0) with the reason in `error` when no font can be loaded.
Picture fontSheet(int sheetPixels, std::string& error);

// A soft round glow of the given colour, alpha falling off from `peak`
// (0..1) at the centre.
Picture glow(int size, int r, int g, int b, float peak = 1.0f);
// A heart shape with a soft edge.
Picture heart(int size);
// A street between two brick walls under a night sky, 1024 × 768, opaque.
Picture alley();
// A standing figure with a light bulb for a head, on transparency.
Picture bulbman();

// ---- The demo's pictures: 1024 × 512 and opaque unless said otherwise

// The title: "Kelbo vs. Vistral" glowing over a nebula. Empty without a font.
Picture titlePicture(std::string& error);
// A portrait in flat colours, for the closing section.
Picture portrait();
// A city at night under a glowing sky: the middle section's background.
Picture nightCity();
// Writes an 8-bit RGB or RGBA PNG; false with the reason in `error`.
bool writePng(const std::string& path, const Picture& picture, std::string& error);

}  // namespace datagen
