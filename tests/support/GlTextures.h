#pragma once

#include "engine/core/OpenGL.h"
#include "engine/media/Image.h"

#include <cstdint>
#include <vector>

namespace testsupport {

// A texture made straight from RGBA words (R in the low byte), rows bottom-up
// as OpenGL takes them, sampled nearest so that every texel shows as it is.
inline tarnix::Texture makeTexture(int width, int height, const std::vector<std::uint32_t>& words) {
    tarnix::Texture texture;
    texture.width = width;
    texture.height = height;
    glGenTextures(1, &texture.id);
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, words.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

inline tarnix::Texture solidTexture(int width, int height, std::uint32_t word) {
    return makeTexture(width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, word));
}

const std::uint32_t opaqueRed = 0xFF0000FF;
const std::uint32_t opaqueGreen = 0xFF00FF00;
const std::uint32_t opaqueBlue = 0xFFFF0000;
const std::uint32_t opaqueWhite = 0xFFFFFFFF;

}  // namespace testsupport
