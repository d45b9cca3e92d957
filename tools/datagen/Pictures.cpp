#include "tools/datagen/Pictures.h"

#include "engine/media/PngWriter.h"
#include "tools/datagen/Painting.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace datagen {

Picture::Picture(int w, int h, bool hasAlpha)
    : width(w), height(h), alpha(hasAlpha), pixels(static_cast<std::size_t>(w) * h, 0) {}

std::uint32_t rgba(int r, int g, int b, int a) {
    auto clamp = [](int v) { return static_cast<std::uint32_t>(std::min(255, std::max(0, v))); };
    return clamp(r) | clamp(g) << 8 | clamp(b) << 16 | clamp(a) << 24;
}

namespace {

const char* const monospaceFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};
const char* const titleFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
};

// A FreeType face of the first of the fonts that loads, released with the object.
class FontFace {
public:
    template <std::size_t Count>
    FontFace(const char* const (&candidates)[Count], std::string& error) {
        if (FT_Init_FreeType(&library) != 0) {
            error = "FreeType does not start";
            return;
        }
        for (const char* path : candidates)
            if (FT_New_Face(library, path, 0, &face) == 0)
                return;
        face = nullptr;
        error = "no DejaVu font found (install fonts-dejavu-core)";
    }
    ~FontFace() {
        if (face)
            FT_Done_Face(face);
        if (library)
            FT_Done_FreeType(library);
    }
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    FT_Face get() const { return face; }

private:
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

// Calls plot(x, y, coverage 0..255) for every pixel of the glyph of `code`
// drawn with its pen at (penX, baseline); returns the pen's advance in pixels.
template <typename Plot>
int drawGlyph(FT_Face face, int code, int penX, int baseline, Plot plot) {
    if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER) != 0)
        return 0;
    const FT_GlyphSlot glyph = face->glyph;
    for (unsigned row = 0; row < glyph->bitmap.rows; ++row)
        for (unsigned column = 0; column < glyph->bitmap.width; ++column)
            plot(penX + glyph->bitmap_left + static_cast<int>(column), baseline - glyph->bitmap_top + static_cast<int>(row),
                 glyph->bitmap.buffer[row * glyph->bitmap.pitch + column]);
    return static_cast<int>(glyph->advance.x >> 6);
}

}  // namespace

Picture fontSheet(int sheetPixels, std::string& error) {
    FontFace face(monospaceFonts, error);
    if (!face.get())
        return Picture();
    Picture sheet(sheetPixels, sheetPixels, true);
    // Cells need not be whole pixels: cell i spans [i·size/10, (i+1)·size/10).
    auto edge = [sheetPixels](int i) { return i * sheetPixels / 10; };
    const int cellHeight = sheetPixels / 10;
    FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(cellHeight * 3 / 4));
    for (int code = 32; code <= 126; ++code) {
        const int column = (code - 32) % 10, row = (code - 32) / 10;
        const int cellLeft = edge(column), cellRight = edge(column + 1);
        const int cellTop = edge(row), cellBottom = edge(row + 1);
        if (FT_Load_Char(face.get(), static_cast<FT_ULong>(code), FT_LOAD_RENDER) != 0)
            continue;
        const int glyphWidth = static_cast<int>(face.get()->glyph->bitmap.width);
        const int penX = cellLeft + (cellRight - cellLeft - glyphWidth) / 2 - face.get()->glyph->bitmap_left;
        drawGlyph(face.get(), code, penX, cellTop + cellHeight * 4 / 5, [&](int x, int y, int coverage) {
            if (x >= cellLeft && x < cellRight && y >= cellTop && y < cellBottom)
                sheet.at(x, y) = rgba(255, 255, 255, coverage);
        });
    }
    return sheet;
}

Picture glow(int size, int r, int g, int b, float peak) {
    Picture picture(size, size, true);
    const float centre = (size - 1) / 2.0f;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float d = std::hypot(x - centre, y - centre) / (size / 2.0f);
            const float a = std::exp(-d * d * 4.0f) * (1.0f - smoothstep(0.85f, 1.0f, d));
            picture.at(x, y) = rgba(r, g, b, static_cast<int>(255 * peak * a));
        }
    return picture;
}

namespace {

// The outline of a heart, the classic parametric curve x = 16 sin³ t,
// y = 13 cos t - 5 cos 2t - 2 cos 3t - cos 4t (y up), as a closed polygon in
// pixels of a size × size picture.
std::vector<std::pair<float, float>> heartOutline(int size) {
    const int points = 240;
    const float scale = size / 36.0f;
    std::vector<std::pair<float, float>> outline;
    for (int i = 0; i < points; ++i) {
        const float t = 6.2831853f * i / points;
        const float x = 16 * std::pow(std::sin(t), 3.0f);
        const float y = 13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t);
        outline.emplace_back(size / 2.0f + x * scale, size * 0.47f - y * scale);
    }
    return outline;
}

// Distance from (x, y) to a closed polygon, negative inside.
float signedDistance(const std::vector<std::pair<float, float>>& polygon, float x, float y) {
    float nearest = 1e30f;
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const auto [ax, ay] = polygon[j];
        const auto [bx, by] = polygon[i];
        const float ex = bx - ax, ey = by - ay;
        const float along = std::clamp(((x - ax) * ex + (y - ay) * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
        nearest = std::min(nearest, std::hypot(x - ax - ex * along, y - ay - ey * along));
        if ((ay > y) != (by > y) && x < ax + (y - ay) * ex / ey)
            inside = !inside;
    }
    return inside ? -nearest : nearest;
}

}  // namespace

Picture heart(int size) {
    Picture picture(size, size, true);
    const std::vector<std::pair<float, float>> outline = heartOutline(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float distance = signedDistance(outline, x + 0.5f, y + 0.5f);
            // Only a glowing outline, fading inwards: the cloud stacks hundreds
            // of these, and filled hearts would add up to a white screen. Little
            // green, so that only the densest stacks run to white.
            const float glow = (1 - smoothstep(-0.5f, 0.5f, distance)) * (1 - smoothstep(1.0f, 4.0f, -distance));
            picture.at(x, y) = rgba(255, 45, 130, static_cast<int>(255 * 0.15f * glow + 0.5f));
        }
    return picture;
}

Picture alley() {
    const int width = 1024, height = 768;
    Picture picture(width, height, false);
    const float horizonY = height * 0.45f, vanishX = width * 0.5f;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float dx = (x - vanishX) / vanishX;
            const float dy = (y - horizonY) / (height - horizonY);
            int r, g, b;
            if (y < horizonY && std::fabs(dx) < 0.35f + 0.65f * (horizonY - y) / horizonY * 0.2f) {
                const float t = y / horizonY;  // night sky with stars
                r = static_cast<int>(10 + 30 * t);
                g = static_cast<int>(12 + 25 * t);
                b = static_cast<int>(40 + 60 * t);
                if (noise(x, y, 1) > 0.9985f)
                    r = g = b = 230;
            } else if (y >= horizonY && std::fabs(dx) < dy) {
                const float shade = 0.3f + 0.7f * dy;  // wet street
                r = static_cast<int>(40 * shade);
                g = static_cast<int>(45 * shade);
                b = static_cast<int>(60 * shade + 20 * noise(x, y, 2));
            } else {
                // Brick walls: rows of bricks shrinking towards the vanishing point.
                const float depth = std::max(0.05f, std::fabs(dx));
                const int brickRow = static_cast<int>(std::floor((y - horizonY) / (depth * 22.0f)));
                const int brickColumn = static_cast<int>(std::floor(std::log(depth) * 9.0f + (brickRow & 1) * 0.5f));
                const bool mortar = std::fmod(std::fabs((y - horizonY) / (depth * 22.0f)), 1.0f) < 0.12f;
                const float light = 0.35f + 0.65f * depth;
                const float variation = 0.8f + 0.4f * noise(brickColumn, brickRow, 3);
                r = static_cast<int>((mortar ? 70 : 140 * variation) * light);
                g = static_cast<int>((mortar ? 65 : 60 * variation) * light);
                b = static_cast<int>((mortar ? 60 : 45 * variation) * light);
            }
            picture.at(x, y) = rgba(r, g, b);
        }
    return picture;
}

Picture bulbman() {
    const int width = 384, height = 628;
    Picture picture(width, height, true);
    auto inEllipse = [](float x, float y, float cx, float cy, float rx, float ry) {
        const float u = (x - cx) / rx, v = (y - cy) / ry;
        return u * u + v * v <= 1.0f;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t colour = 0;
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            const float glowDistance = std::hypot(fx - 192, fy - 110) / 150.0f;
            if (glowDistance < 1.0f)
                colour = rgba(255, 240, 160, static_cast<int>(90 * (1 - glowDistance)));
            if (inEllipse(fx, fy, 192, 110, 70, 85))
                colour = rgba(255, 245, 190, 250);                     // the bulb
            else if (fx > 160 && fx < 224 && fy >= 190 && fy < 240)
                colour = rgba(150, 150, 160, 255);                     // its screw base
            else if (inEllipse(fx, fy, 192, 360, 80, 130))
                colour = rgba(40, 40, 55, 255);                        // coat
            else if ((std::fabs(fx - 155) < 20 || std::fabs(fx - 229) < 20) && fy > 460 && fy < 610)
                colour = rgba(30, 30, 40, 255);                        // legs
            else if (std::fabs(fy - 300 - 0.6f * std::fabs(fx - 192)) < 14 && std::fabs(fx - 192) < 150)
                colour = rgba(40, 40, 55, 255);                        // arms
            picture.at(x, y) = colour;
        }
    return picture;
}


// ---- The demo's pictures ----

namespace {

// Lays `text` centred at baseline y in `pixelSize` pixels, with a soft glow of
// `glowColour` around the letters and the letters in `fill`.
void drawTitleText(Picture& picture, FT_Face face, const std::string& text, int pixelSize, int baseline, Colour fill,
                   Colour glowColour) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
    int width = 0;
    for (char c : text)
        width += drawGlyph(face, static_cast<unsigned char>(c), 0, -10000, [](int, int, int) {});
    std::vector<float> coverage(picture.pixels.size(), 0.0f);
    int pen = (picture.width - width) / 2;
    for (char c : text)
        pen += drawGlyph(face, static_cast<unsigned char>(c), pen, baseline, [&](int x, int y, int value) {
            if (x >= 0 && x < picture.width && y >= 0 && y < picture.height)
                coverage[static_cast<std::size_t>(y) * picture.width + x] = value / 255.0f;
        });
    // The glow: the coverage spread by a box blur, twice in each direction.
    std::vector<float> glowMap = coverage;
    const int radius = pixelSize / 8;
    for (int pass = 0; pass < 4; ++pass) {
        std::vector<float> next(glowMap.size(), 0.0f);
        const bool horizontal = pass % 2 == 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                float sum = 0;
                for (int d = -radius; d <= radius; ++d) {
                    const int sx = horizontal ? std::min(std::max(x + d, 0), picture.width - 1) : x;
                    const int sy = horizontal ? y : std::min(std::max(y + d, 0), picture.height - 1);
                    sum += glowMap[static_cast<std::size_t>(sy) * picture.width + sx];
                }
                next[static_cast<std::size_t>(y) * picture.width + x] = sum / (2 * radius + 1);
            }
        glowMap.swap(next);
    }
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * picture.width + x;
            Colour c = unpack(picture.pixels[i]);
            c = blend(c, glowColour, std::min(1.0f, glowMap[i] * 2.2f));
            const float shade = 0.75f + 0.25f * (1.0f - std::fabs((y - baseline + pixelSize * 0.4f) / pixelSize));
            c = blend(c, {fill.r * shade, fill.g * shade, fill.b * shade}, coverage[i]);
            picture.pixels[i] = pack(c);
        }
}

}  // namespace

Picture titlePicture(std::string& error) {
    FontFace face(titleFonts, error);
    if (!face.get())
        return Picture();
    Picture picture(screenWidth, screenHeight, false);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float u = x / static_cast<float>(screenWidth), v = y / static_cast<float>(screenHeight);
            const float cloud = fractalNoise(u * 6, v * 3, 6, 11);
            const float wisps = fractalNoise(u * 14 + 3, v * 7, 5, 17);
            Colour c = blend({0.02f, 0.01f, 0.06f}, {0.35f, 0.05f, 0.45f}, std::pow(cloud, 2.2f) * 1.6f);
            c = blend(c, {0.1f, 0.55f, 0.75f}, std::pow(wisps * cloud, 3.0f) * 3.0f);
            if (noise(x, y, 5) > 0.997f)
                c = blend(c, {1, 1, 1}, 0.6f + 0.4f * noise(x, y, 6));
            picture.at(x, y) = pack(c);
        }
    drawTitleText(picture, face.get(), "Kelbo vs. Vistral", 104, 290, {1.0f, 0.93f, 0.75f}, {1.0f, 0.45f, 0.15f});
    drawTitleText(picture, face.get(), "a Tarnix Engine v3 production", 30, 380, {0.85f, 0.9f, 1.0f},
                  {0.2f, 0.4f, 1.0f});
    return picture;
}

Picture portrait() {
    Picture picture(screenWidth, screenHeight, false);
    auto inside = [](float x, float y, float cx, float cy, float rx, float ry) {
        const float u = (x - cx) / rx, v = (y - cy) / ry;
        return u * u + v * v;
    };
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            // Sunburst background in two warm colours.
            const float angle = std::atan2(fy - 260, fx - 512);
            Colour c = std::fmod(angle + pi, pi / 8) < pi / 16 ? Colour{0.95f, 0.55f, 0.2f} : Colour{0.9f, 0.35f, 0.25f};
            const float hair = inside(fx, fy, 512, 230, 215, 230) + 0.15f * std::sin(fx * 0.08f) * std::cos(fy * 0.05f);
            if (hair < 1)
                c = {0.12f, 0.07f, 0.1f};
            if (fx > 430 && fx < 594 && fy > 330 && fy < 512)
                c = {0.93f, 0.72f, 0.6f};  // neck
            if (inside(fx, fy, 512, 535, 260, 120) < 1)
                c = {0.15f, 0.45f, 0.6f};  // shoulders
            const float face = inside(fx, fy, 512, 250, 135, 175);
            if (face < 1) {
                c = blend({0.98f, 0.8f, 0.68f}, {0.85f, 0.6f, 0.5f}, std::max(0.0f, (fx - 512) / 135));
                for (float eyeX : {462.0f, 562.0f}) {
                    if (inside(fx, fy, eyeX, 220, 30, 14) < 1)
                        c = {1, 1, 1};
                    if (inside(fx, fy, eyeX + 4, 220, 12, 12) < 1)
                        c = {0.15f, 0.35f, 0.45f};
                    if (std::fabs(inside(fx, fy, eyeX, 192, 40, 14) - 1) < 0.12f && fy < 192)
                        c = {0.2f, 0.1f, 0.1f};  // brows
                }
                if (inside(fx, fy, 512, 335, 50, 16) < 1)
                    c = {0.8f, 0.15f, 0.25f};  // lips
                if (std::fabs(fx - 512 - (fy - 240) * 0.15f) < 3 && fy > 230 && fy < 295)
                    c = blend(c, {0.6f, 0.4f, 0.35f}, 0.6f);  // nose
            }
            const float grain = 0.06f * (noise(x / 2, y / 2, 9) - 0.5f);
            picture.at(x, y) = pack({c.r + grain, c.g + grain, c.b + grain});
        }
    return picture;
}

Picture nightCity() {
    Picture picture(screenWidth, screenHeight, false);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / static_cast<float>(screenHeight);
            Colour c = blend({0.02f, 0.02f, 0.1f}, {0.55f, 0.2f, 0.35f}, std::pow(v, 2.5f));
            // Three rows of buildings, nearer rows taller and darker.
            for (int layer = 0; layer < 3; ++layer) {
                const int column = (x + layer * 37) / (22 + 10 * layer);
                const float top = screenHeight * (0.55f + 0.1f * layer) - 160 * (0.4f + noise(column, layer, 21)) / (1 + layer * 0.4f);
                if (y > top) {
                    c = blend({0.05f, 0.05f, 0.12f}, {0.01f, 0.01f, 0.03f}, layer / 2.0f);
                    const bool window = (x % 8 < 4) && (y % 11 < 5) && noise(x / 8, y / 11, 30 + layer) > 0.62f;
                    if (window)
                        c = blend({1.0f, 0.8f, 0.4f}, {0.6f, 0.8f, 1.0f}, noise(x / 8, y / 11, 40));
                }
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

bool writePng(const std::string& path, const Picture& picture, std::string& error) {
    const int channels = picture.alpha ? 4 : 3;
    std::vector<unsigned char> rows(picture.pixels.size() * channels);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i)
        for (int c = 0; c < channels; ++c)
            rows[i * channels + c] = static_cast<unsigned char>(picture.pixels[i] >> (8 * c));
    return tarnix::writePngFile(path, picture.width, picture.height, channels, rows.data(), 6, error);
}

}  // namespace datagen
