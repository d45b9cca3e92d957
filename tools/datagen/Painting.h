#pragma once

#include <cstdint>

// The small painting kit the data generator's pictures share: colours as
// floats, blending, and deterministic noise (the same bytes on every run).

namespace datagen {

const int screenWidth = 1024;  // the demo's full-screen pictures, pixels
const int screenHeight = 512;
const float pi = 3.14159265f;

struct Colour {
    float r, g, b;  // 0..1; packing clamps what lies outside
};

float mix(float a, float b, float t);
Colour blend(Colour a, Colour b, float t);
// 0 below edge0, 1 above edge1, a smooth cubic between.
float smoothstep(float edge0, float edge1, float x);
// A cheap deterministic hash noise in 0..1.
float noise(int x, int y, int seed);
// Smooth value noise, 0..1, with `octaves` layers of detail.
float fractalNoise(float x, float y, int octaves, int seed);
// An opaque RGBA word (R in the low byte) of a colour, and back.
std::uint32_t pack(Colour c);
Colour unpack(std::uint32_t word);

}  // namespace datagen
