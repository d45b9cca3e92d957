#include "tools/datagen/Painting.h"

#include "tools/datagen/Pictures.h"

#include <algorithm>
#include <cmath>

namespace datagen {

float mix(float a, float b, float t) { return a + (b - a) * t; }

Colour blend(Colour a, Colour b, float t) { return {mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)}; }

float smoothstep(float edge0, float edge1, float x) {
    const float t = std::min(1.0f, std::max(0.0f, (x - edge0) / (edge1 - edge0)));
    return t * t * (3 - 2 * t);
}

float noise(int x, int y, int seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 982451653u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}

float fractalNoise(float x, float y, int octaves, int seed) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
        const float fx = x - xi, fy = y - yi;
        const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
        const float top = mix(noise(xi, yi, seed + octave), noise(xi + 1, yi, seed + octave), sx);
        const float bottom = mix(noise(xi, yi + 1, seed + octave), noise(xi + 1, yi + 1, seed + octave), sx);
        sum += amplitude * mix(top, bottom, sy);
        total += amplitude;
        amplitude *= 0.5f;
        x *= 2.03f;
        y *= 2.03f;
    }
    return sum / total;
}

std::uint32_t pack(Colour c) {
    return rgba(static_cast<int>(c.r * 255), static_cast<int>(c.g * 255), static_cast<int>(c.b * 255));
}

Colour unpack(std::uint32_t word) {
    return {(word & 0xFF) / 255.0f, ((word >> 8) & 0xFF) / 255.0f, ((word >> 16) & 0xFF) / 255.0f};
}

}  // namespace datagen
