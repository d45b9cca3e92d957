#include "tools/datagen/Pictures.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

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

float smoothstep(float edge0, float edge1, float x) {
    const float t = std::min(1.0f, std::max(0.0f, (x - edge0) / (edge1 - edge0)));
    return t * t * (3 - 2 * t);
}

// A cheap deterministic hash noise in 0..1.
float noise(int x, int y, int seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 982451653u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

const char* const fontCandidates[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

}  // namespace

Picture fontSheet(int cellPixels, std::string& error) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        error = "FreeType does not start";
        return Picture();
    }
    FT_Face face = nullptr;
    for (const char* path : fontCandidates)
        if (FT_New_Face(library, path, 0, &face) == 0)
            break;
    if (!face) {
        FT_Done_FreeType(library);
        error = "no DejaVu font found (install fonts-dejavu-core)";
        return Picture();
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(cellPixels * 3 / 4));
    Picture sheet(cellPixels * 10, cellPixels * 10, true);
    const int baseline = cellPixels * 4 / 5;
    for (int code = 32; code <= 126; ++code) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot glyph = face->glyph;
        const int cellX = (code - 32) % 10 * cellPixels;
        const int cellY = (code - 32) / 10 * cellPixels;
        const int left = cellX + (cellPixels - static_cast<int>(glyph->bitmap.width)) / 2;
        const int top = cellY + baseline - glyph->bitmap_top;
        for (unsigned row = 0; row < glyph->bitmap.rows; ++row)
            for (unsigned column = 0; column < glyph->bitmap.width; ++column) {
                const int x = left + static_cast<int>(column), y = top + static_cast<int>(row);
                if (x < cellX || x >= cellX + cellPixels || y < cellY || y >= cellY + cellPixels)
                    continue;
                const int coverage = glyph->bitmap.buffer[row * glyph->bitmap.pitch + column];
                sheet.at(x, y) = rgba(255, 255, 255, coverage);
            }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
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

Picture heart(int size) {
    Picture picture(size, size, true);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            // The classic implicit heart (x² + y² - 1)³ - x² y³ <= 0, y up.
            const float u = (x - size / 2.0f) / (size * 0.38f);
            const float v = -(y - size * 0.55f) / (size * 0.38f);
            const float f = std::pow(u * u + v * v - 1, 3.0f) - u * u * v * v * v;
            const float a = 1.0f - smoothstep(-0.05f, 0.05f, f);
            picture.at(x, y) = rgba(255, 60 + static_cast<int>(80 * (1 - v)), 110, static_cast<int>(255 * a));
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

bool writePng(const std::string& path, const Picture& picture, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create the file";
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "the PNG encoder failed";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 picture.alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int channels = picture.alpha ? 4 : 3;
    std::vector<png_byte> row(static_cast<std::size_t>(picture.width) * channels);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < channels; ++c)
                row[static_cast<std::size_t>(x) * channels + c] =
                    static_cast<png_byte>(picture.pixels[static_cast<std::size_t>(y) * picture.width + x] >> (8 * c));
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        error = "the file could not be written";
        return false;
    }
    return true;
}

}  // namespace datagen
