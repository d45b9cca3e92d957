#include "tools/datagen/ClosingPictures.h"

#include "tools/datagen/Painting.h"

#include <algorithm>
#include <cmath>

namespace datagen {

Picture neonGrid() {
    Picture picture(screenWidth, screenHeight, false);
    const float horizon = screenHeight * 0.5f;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            Colour c;
            if (y < horizon) {
                const float v = y / horizon;
                c = blend({0.05f, 0.0f, 0.15f}, {0.9f, 0.2f, 0.5f}, v * v);
                const float sunDistance = std::hypot(x - 512.0f, y - horizon) / 170;
                if (sunDistance < 1 && !(y > horizon - 80 && static_cast<int>(y) % 14 < (y - (horizon - 80)) / 10))
                    c = blend({1.0f, 0.9f, 0.2f}, {1.0f, 0.3f, 0.5f}, (y - (horizon - 170)) / 170);
            } else {
                const float depth = 60 / (y - horizon + 1);
                const float gx = (x - 512.0f) * depth / 60;
                const float lineX = std::fabs(std::fmod(gx + 1000.5f, 1.0f) - 0.5f);
                const float lineZ = std::fabs(std::fmod(depth * 3 + 0.5f, 1.0f) - 0.5f);
                const float glowLine = std::max(std::exp(-lineX * 60 / (depth + 0.2f)), std::exp(-lineZ * 30));
                c = blend({0.03f, 0.0f, 0.08f}, {0.2f, 0.9f, 1.0f}, glowLine);
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture plasma() {
    Picture picture(screenWidth, screenHeight, false);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float u = x / 90.0f, v = y / 90.0f;
            const float value = std::sin(u) + std::sin(v * 1.3f + u * 0.4f) + std::sin(std::hypot(u - 5, v - 3) * 1.7f) +
                                std::sin(std::hypot(u + 2, v - 6));
            const float t = value * pi / 4;
            picture.at(x, y) = pack({0.5f + 0.5f * std::sin(t), 0.5f + 0.5f * std::sin(t + 2.1f), 0.5f + 0.5f * std::sin(t + 4.2f)});
        }
    return picture;
}

Picture sunset() {
    Picture picture(screenWidth, screenHeight, false);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / static_cast<float>(screenHeight);
            Colour c = blend({0.98f, 0.75f, 0.3f}, {0.55f, 0.1f, 0.3f}, std::fabs(v - 0.62f) * 2.5f);
            const float sun = std::hypot(x - 720.0f, y - 300.0f);
            if (sun < 110)
                c = blend({1.0f, 0.95f, 0.7f}, c, sun / 110);
            if (y > screenHeight * 0.62f) {  // the sea, with the sun's reflection in broken stripes
                const float wave = std::sin(y * 0.9f + std::sin(x * 0.02f) * 3);
                c = blend({0.1f, 0.05f, 0.2f}, {0.7f, 0.3f, 0.3f}, 0.3f + 0.2f * wave);
                if (std::fabs(x - 720.0f) < 70 - (y - screenHeight * 0.62f) * 0.2f && wave > 0.2f)
                    c = {1.0f, 0.85f, 0.5f};
            }
            const float hill = screenHeight * 0.55f + 40 * std::sin(x * 0.006f) + 25 * std::sin(x * 0.017f + 1);
            if (y > hill && y < screenHeight * 0.62f && x < 600)
                c = {0.08f, 0.03f, 0.1f};
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture waves() {
    Picture picture(screenWidth, screenHeight, false);
    const float sources[3][2] = {{300, 200}, {720, 330}, {512, 60}};
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            float sum = 0;
            for (const auto& source : sources)
                sum += std::sin(std::hypot(x - source[0], y - source[1]) * 0.07f);
            const float t = 0.5f + sum / 6;
            picture.at(x, y) = pack(blend({0.0f, 0.1f, 0.25f}, {0.3f, 0.95f, 0.85f}, t * t));
        }
    return picture;
}

namespace {

// Stars: a few hash-picked pixels, brighter the rarer.
float starAt(int x, int y, int seed, float density) {
    const float n = noise(x, y, seed);
    return n > 1 - density ? (n - (1 - density)) / density : 0.0f;
}

Colour scaled(Colour c, float k) { return {c.r * k, c.g * k, c.b * k}; }

Colour added(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

}  // namespace

Picture aurora() {
    Picture picture(screenWidth, screenHeight, false);
    const float shore = screenHeight * 0.7f;
    // Above the shore: sky, curtains of light, and peaks with snow on their crests.
    auto land = [shore](float x, float y) {
        const float fold = std::fabs(fractalNoise(x / 230.0f, 1, 4, 5) - 0.5f) * 2;
        const float ridge = shore - 25 - 150 * (1 - fold) * (1 - fold);
        if (y >= ridge) {
            // Deeper snow on the higher peaks, none on the low saddles.
            const float snowLine = (ridge < shore - 90 ? (shore - 90 - ridge) * 0.5f : 0.0f) *
                                   (0.6f + 0.8f * fractalNoise(x / 40.0f, 2, 3, 6));
            const float snow = smoothstep(snowLine, snowLine - 8, y - ridge);
            const float shade = 0.6f + 0.4f * fractalNoise(x / 25.0f, y / 60.0f, 3, 7);
            return blend({0.03f, 0.05f, 0.09f}, scaled({0.5f, 0.8f, 0.75f}, shade), snow);
        }
        Colour c = blend({0.02f, 0.03f, 0.1f}, {0.08f, 0.22f, 0.3f}, std::pow(y / shore, 2.0f));
        c = added(c, scaled({0.9f, 0.95f, 1.0f}, starAt(static_cast<int>(x), static_cast<int>(y), 3, 0.004f)));
        // Curtains: a wavy lower edge, rays rising from it, green below turning violet above.
        const float edge = 230 + 45 * std::sin(x * 0.005f) + 20 * std::sin(x * 0.013f + 2);
        const float above = edge - y;
        if (above > -12) {
            const float rays = 0.35f + 0.65f * fractalNoise(x * 0.04f, 0.5f, 3, 11);
            const float fall = above < 0 ? std::exp(above / 4) : std::exp(-above / (80 + 80 * rays));
            const float strength = 1.3f * fall * rays * (0.6f + 0.4f * std::sin(x * 0.009f + 1));
            c = added(c, scaled(blend({0.2f, 1.0f, 0.55f}, {0.6f, 0.25f, 0.95f}, smoothstep(20, 170, above)), strength));
        }
        return c;
    };
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            // Below the shore the still lake mirrors it all, darker, broken by ripples.
            const float ripple = 3 * std::sin(y * 0.8f + std::sin(x * 0.05f));
            const Colour c = y < shore ? land(static_cast<float>(x), static_cast<float>(y))
                                       : scaled(land(x + ripple, 2 * shore - y), 0.6f);
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture chrome() {
    Picture picture(screenWidth, screenHeight, false);
    const float eye[3] = {0, 1.6f, -4};
    const float centre[3] = {0.6f, 1.4f, 0.5f};
    const float radius = 1.4f;
    auto skyColour = [](float dy) { return blend({1.0f, 0.55f, 0.3f}, {0.15f, 0.05f, 0.35f}, std::sqrt(std::max(0.0f, dy))); };
    // The floor at y = 0: red and cream squares fading into a haze; the ball's shadow under it.
    auto floorColour = [&](float x, float z) {
        const bool odd = (static_cast<int>(std::floor(x)) + static_cast<int>(std::floor(z))) & 1;
        Colour c = odd ? Colour{0.85f, 0.1f, 0.2f} : Colour{0.95f, 0.9f, 0.8f};
        const float shadow = std::hypot(x - centre[0], z - centre[2]);
        c = scaled(c, 0.35f + 0.65f * smoothstep(0.3f, 1.3f, shadow));
        return blend(c, skyColour(0), smoothstep(5, 40, z - eye[2]));
    };
    for (int py = 0; py < screenHeight; ++py)
        for (int px = 0; px < screenWidth; ++px) {
            float d[3] = {(px - screenWidth / 2.0f) / 420, -(py - screenHeight / 2.0f) / 420 - 0.08f, 1};
            const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            for (float& component : d)
                component /= length;
            // The ball: one reflection, of the floor or the sky.
            const float o[3] = {eye[0] - centre[0], eye[1] - centre[1], eye[2] - centre[2]};
            const float b = o[0] * d[0] + o[1] * d[1] + o[2] * d[2];
            const float disc = b * b - (o[0] * o[0] + o[1] * o[1] + o[2] * o[2] - radius * radius);
            Colour c;
            if (disc > 0) {
                const float t = -b - std::sqrt(disc);
                float hit[3], n[3];
                for (int i = 0; i < 3; ++i) {
                    hit[i] = eye[i] + t * d[i];
                    n[i] = (hit[i] - centre[i]) / radius;
                }
                const float dn = d[0] * n[0] + d[1] * n[1] + d[2] * n[2];
                const float r[3] = {d[0] - 2 * dn * n[0], d[1] - 2 * dn * n[1], d[2] - 2 * dn * n[2]};
                c = r[1] < 0 ? floorColour(hit[0] - hit[1] / r[1] * r[0], hit[2] - hit[1] / r[1] * r[2]) : skyColour(r[1]);
                c = added(scaled(c, 0.85f), scaled({1, 1, 1}, std::pow(std::max(0.0f, -dn), 40.0f) * 0.2f));
            } else if (d[1] < 0) {
                const float t = -eye[1] / d[1];
                c = floorColour(eye[0] + t * d[0], eye[2] + t * d[2]);
            } else {
                c = skyColour(d[1]);
            }
            picture.at(px, py) = pack(c);
        }
    return picture;
}

Picture planet() {
    Picture picture(screenWidth, screenHeight, false);
    const float cx = 640, cy = 270, radius = 160;
    const float tilt = -0.3f;  // the rings' slant, radians
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            // Space: a faint violet nebula and stars.
            const float cloud = fractalNoise(x / 220.0f, y / 220.0f, 5, 17);
            Colour c = scaled({0.35f, 0.12f, 0.45f}, smoothstep(0.45f, 0.8f, cloud) * 0.5f);
            c = added(c, scaled({1, 0.95f, 0.9f}, starAt(x, y, 19, 0.003f)));
            // The rings' plane, in the planet's frame.
            const float dx = x - cx, dy = y - cy;
            const float rx = dx * std::cos(tilt) - dy * std::sin(tilt);
            const float ry = (dx * std::sin(tilt) + dy * std::cos(tilt)) / 0.25f;
            const float ringDistance = std::hypot(rx, ry) / radius;
            const float ringDensity = ringDistance > 1.3f && ringDistance < 2.2f
                                          ? 0.55f + 0.45f * std::sin(ringDistance * 40) * std::sin(ringDistance * 7)
                                          : 0.0f;
            const Colour ringColour = blend({0.85f, 0.75f, 0.55f}, {0.6f, 0.45f, 0.35f}, (ringDistance - 1.3f) / 0.9f);
            const bool ringInFront = ry > 0;
            if (ringDensity > 0 && !ringInFront)
                c = blend(c, ringColour, ringDensity * 0.8f);
            const float d = std::hypot(dx, dy) / radius;
            if (d < 1) {
                // Bands along the rings' slant, stirred by turbulence, lit from the upper left.
                const float latitude = (dx * std::sin(tilt) + dy * std::cos(tilt)) / radius;
                const float swirl = fractalNoise(rx / 40.0f, latitude * 6, 4, 23);
                const float band = 0.5f + 0.5f * std::sin(latitude * 14 + swirl * 4);
                Colour surface = blend({0.85f, 0.55f, 0.3f}, {0.95f, 0.85f, 0.65f}, band);
                const float nz = std::sqrt(1 - d * d);
                const float light = std::max(0.0f, (-dx / radius * 0.6f - dy / radius * 0.5f + nz * 0.62f));
                c = scaled(surface, 0.08f + 0.95f * light);
            }
            if (ringDensity > 0 && ringInFront)
                c = blend(c, ringColour, ringDensity * 0.8f);
            // A small moon, lit from the same side.
            const float md = std::hypot(x - 230.0f, y - 130.0f) / 45;
            if (md < 1) {
                const float nz = std::sqrt(1 - md * md);
                const float light = std::max(0.0f, (-(x - 230.0f) / 45 * 0.6f - (y - 130.0f) / 45 * 0.5f + nz * 0.62f));
                const float crater = fractalNoise(x / 9.0f, y / 9.0f, 3, 29);
                c = scaled(blend({0.55f, 0.55f, 0.6f}, {0.8f, 0.8f, 0.82f}, crater), 0.05f + light);
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture dunes() {
    Picture picture(screenWidth, screenHeight, false);
    const float horizon = screenHeight * 0.58f;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / horizon;
            Colour c = blend({0.2f, 0.1f, 0.35f}, {1.0f, 0.55f, 0.3f}, std::pow(std::min(v, 1.0f), 2.5f));
            const float moon = std::hypot(x - 300.0f, y - 150.0f);
            c = added(c, scaled({1.0f, 0.9f, 0.7f}, 0.35f * std::exp(-moon / 90)));
            if (moon < 70)
                c = blend({1.0f, 0.96f, 0.85f}, {0.9f, 0.85f, 0.75f}, fractalNoise(x / 14.0f, y / 14.0f, 3, 31));
            // Three rows of dunes, each crest lit on its left flank.
            for (int row = 0; row < 3; ++row) {
                const float base = horizon + row * 55;
                const float crest = base - 40 + 30 * std::sin(x * (0.006f + row * 0.003f) + row * 2) +
                                    15 * std::sin(x * 0.017f + row);
                if (y < crest)
                    continue;
                const float slope = std::cos(x * (0.006f + row * 0.003f) + row * 2);
                const float depth = 1.0f - row * 0.25f;
                const Colour sand = blend({0.95f, 0.55f, 0.3f}, {0.45f, 0.2f, 0.25f}, 0.5f + 0.5f * slope);
                c = blend(sand, {0.55f, 0.3f, 0.4f}, 0.4f * depth);
                c = scaled(c, 1.0f - 0.15f * smoothstep(0, 60, y - crest));
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture ridges() {
    Picture picture(screenWidth, screenHeight, false);
    const int layers = 5;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / static_cast<float>(screenHeight);
            Colour c = blend({0.98f, 0.8f, 0.6f}, {0.45f, 0.55f, 0.8f}, std::sqrt(std::fabs(v - 0.45f) * 2));
            const float sun = std::hypot(x - 700.0f, y - 190.0f);
            c = added(c, scaled({1.0f, 0.85f, 0.5f}, 0.5f * std::exp(-sun / 60)));
            // Ridges from far (pale, hazy) to near (dark); pines on the nearest.
            for (int layer = 0; layer < layers; ++layer) {
                const float near = layer / static_cast<float>(layers - 1);
                float top = screenHeight * (0.35f + 0.12f * layer) + 90 * (fractalNoise(x / (260.0f - 40 * layer), layer, 5, 41 + layer) - 0.5f);
                if (layer == layers - 1) {
                    const float spacing = 23;
                    const float local = std::fmod(x + 1000.0f, spacing) - spacing / 2;
                    const float height = 40 + 30 * noise(static_cast<int>((x + 1000.0f) / spacing), 7, 43);
                    top -= std::max(0.0f, height - std::fabs(local) * height / (spacing * 0.45f));
                }
                if (y >= top)
                    c = blend({0.55f, 0.6f, 0.75f}, {0.05f, 0.08f, 0.1f}, near);
            }
            // Mist pooling in the valleys.
            c = blend(c, {0.9f, 0.85f, 0.85f}, 0.35f * fractalNoise(x / 150.0f, y / 40.0f, 3, 47) * smoothstep(0.3f, 0.8f, v));
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture reef() {
    Picture picture(screenWidth, screenHeight, false);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / static_cast<float>(screenHeight);
            Colour c = blend({0.1f, 0.65f, 0.75f}, {0.0f, 0.08f, 0.2f}, std::pow(v, 0.8f));
            // Shafts of light slanting down from the surface.
            const float across = x + y * 0.35f;
            const float shafts = std::pow(fractalNoise(across / 45.0f, 0.5f, 3, 53), 3.0f);
            c = added(c, scaled({0.6f, 0.9f, 0.85f}, shafts * (1 - v) * 0.8f));
            // Bubbles rising in a few columns: bright rims, clear middles.
            for (int column = 0; column < 6; ++column) {
                const float bx = 120 + column * 160 + 30 * std::sin(y * 0.03f + column);
                const float spacing = 38 + column * 5;
                const float by = std::fmod(y + column * 17.0f, spacing);
                const float size = 4 + 6 * (1 - v);
                const float d = std::hypot(x - bx, by - spacing / 2) / size;
                if (d < 1.2f)
                    c = added(c, scaled({0.8f, 1.0f, 1.0f}, 0.5f * std::exp(-(d - 1) * (d - 1) * 30)));
            }
            // Kelp swaying up from the sandy floor.
            const float floor = screenHeight * 0.85f + 20 * std::sin(x * 0.01f);
            for (int strand = 0; strand < 9; ++strand) {
                const float root = 60 + strand * 115.0f + 30 * noise(strand, 1, 59);
                const float height = 180 + 120 * noise(strand, 2, 59);
                const float sway = 25 * std::sin((floor - y) * 0.02f + strand) * (floor - y) / height;
                if (y < floor && y > floor - height && std::fabs(x - root - sway) < 7 * (1 - (floor - y) / height) + 2)
                    c = blend({0.15f, 0.45f, 0.2f}, {0.05f, 0.2f, 0.1f}, v);
            }
            if (y > floor)
                c = blend({0.75f, 0.65f, 0.45f}, {0.35f, 0.3f, 0.25f}, fractalNoise(x / 6.0f, y / 6.0f, 2, 61) * 0.6f + (y - floor) / 200);
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture copper() {
    Picture picture(screenWidth, screenHeight, false);
    const float floorLine = screenHeight * 0.68f;
    // Raster bars: each a band with a bright middle, stacked on a dark sky.
    auto bars = [](float y) {
        static const Colour colours[] = {{1.0f, 0.2f, 0.2f}, {1.0f, 0.7f, 0.1f}, {0.3f, 1.0f, 0.3f},
                                         {0.2f, 0.7f, 1.0f}, {0.7f, 0.3f, 1.0f}};
        Colour c = blend({0.02f, 0.0f, 0.08f}, {0.1f, 0.02f, 0.15f}, y / (screenHeight * 0.68f));
        for (int bar = 0; bar < 5; ++bar) {
            const float middle = 50 + bar * 62 + 18 * std::sin(bar * 1.7f);
            const float d = std::fabs(y - middle) / 22;
            if (d < 1)
                c = blend(c, scaled(colours[bar], 1.15f - d * 0.9f), 1 - d * d * d * d);
        }
        return c;
    };
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            Colour c;
            if (y < floorLine) {
                c = bars(static_cast<float>(y));
                // A chequered logo plate with the bars showing through its holes.
                const bool plate = std::fabs(x - 512.0f) < 300 && std::fabs(y - 150.0f) < 70;
                if (plate && ((x / 20 + y / 20) & 1))
                    c = blend(c, {0.9f, 0.9f, 0.95f}, 0.6f);
            } else {
                // A shiny floor mirrors the bars, rippling, fading to the front.
                const float mirrored = 2 * floorLine - y + 4 * std::sin(x * 0.03f + y * 0.2f);
                const float depth = (y - floorLine) / (screenHeight - floorLine);
                c = scaled(bars(mirrored), 0.7f - 0.5f * depth);
                if (((static_cast<int>((x - 512.0f) / (1 + depth * 4)) / 40) & 1) == 0)
                    c = added(c, {0.04f, 0.02f, 0.06f});
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture galaxy() {
    Picture picture(screenWidth, screenHeight, false);
    const float cx = 520, cy = 256;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            // Seen at a slant: the disc squashed vertically.
            const float dx = (x - cx) / 420, dy = (y - cy) / 170;
            const float r = std::hypot(dx, dy);
            const float angle = std::atan2(dy, dx);
            // Two logarithmic arms, wound tighter outwards, lumpy with star clouds.
            const float arm = std::pow(0.5f + 0.5f * std::cos(2 * (angle - 2.2f * std::log(r + 0.05f))), 3.0f);
            const float clumps = fractalNoise(x / 18.0f, y / 18.0f, 4, 67);
            const float disc = std::exp(-r * 1.6f);
            const float dust = smoothstep(0.5f, 0.85f, fractalNoise(x / 260.0f, y / 200.0f, 4, 107));
            Colour c = scaled({0.1f, 0.15f, 0.35f}, dust * 0.6f);  // faint clouds far behind
            c = added(c, scaled({0.45f, 0.55f, 1.0f}, arm * disc * (0.5f + clumps) * 2.0f));
            c = added(c, scaled({0.5f, 0.5f, 0.8f}, disc * 0.35f));  // the disc between the arms
            c = added(c, scaled({1.0f, 0.85f, 0.6f}, std::exp(-r * r * 25) * 1.3f));  // the core
            c = added(c, scaled({0.9f, 0.3f, 0.5f}, arm * disc * smoothstep(0.7f, 0.9f, clumps)));  // glowing nebulae
            c = added(c, scaled({1, 1, 1}, starAt(x, y, 71, 0.004f)));
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture mandelbrot() {
    Picture picture(screenWidth, screenHeight, false);
    const int limit = 400;
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            // The seahorse valley, smoothly coloured by escape time.
            const double cr = -0.74364 + (x - screenWidth / 2.0) * 0.0000040;
            const double ci = 0.13182 + (y - screenHeight / 2.0) * 0.0000040;
            double zr = 0, zi = 0;
            int n = 0;
            while (n < limit && zr * zr + zi * zi < 256) {
                const double next = zr * zr - zi * zi + cr;
                zi = 2 * zr * zi + ci;
                zr = next;
                ++n;
            }
            Colour c{0.02f, 0.0f, 0.05f};
            if (n < limit) {
                const float smooth = static_cast<float>(n + 1 - std::log2(std::log2(zr * zr + zi * zi)));
                const float t = std::sqrt(smooth) * 1.1f;
                c = {0.5f + 0.5f * std::sin(t + 4.0f), 0.5f + 0.5f * std::sin(t + 2.3f), 0.5f + 0.5f * std::sin(t + 0.8f)};
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture meadow() {
    Picture picture(screenWidth, screenHeight, false);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / static_cast<float>(screenHeight);
            Colour c = blend({0.3f, 0.55f, 0.95f}, {0.75f, 0.88f, 1.0f}, v * 1.6f);
            // A rainbow: an arc whose hue runs across its width.
            const float arc = (std::hypot(x - 560.0f, y - 560.0f) - 430) / 36;
            if (arc > 0 && arc < 1) {
                const float hue = arc * 5.5f;
                const Colour band{0.5f + 0.5f * std::cos(hue), 0.5f + 0.5f * std::cos(hue - 2.1f), 0.5f + 0.5f * std::cos(hue - 4.2f)};
                c = blend(c, band, 0.45f * std::sin(arc * pi));
            }
            // Fair-weather clouds.
            const float cloud = fractalNoise(x / 120.0f, y / 50.0f, 5, 73);
            c = blend(c, {1, 1, 1}, smoothstep(0.55f, 0.7f, cloud) * (1 - v * 1.5f));
            // Rolling hills, nearer ones greener and darker, with flowers in front.
            for (int hill = 0; hill < 3; ++hill) {
                const float top = screenHeight * (0.55f + 0.13f * hill) + 35 * std::sin(x * (0.004f + 0.002f * hill) + hill * 1.9f);
                if (y < top)
                    continue;
                const float light = 1.0f - 0.25f * hill + 0.1f * fractalNoise(x / 30.0f, y / 30.0f, 3, 79 + hill);
                c = scaled(blend({0.55f, 0.8f, 0.35f}, {0.15f, 0.5f, 0.15f}, hill / 2.0f), light);
                if (hill == 2 && noise(x / 3, y / 3, 83) > 0.985f)
                    c = noise(x / 3, y / 3, 89) > 0.5f ? Colour{1.0f, 0.9f, 0.2f} : Colour{1.0f, 0.4f, 0.6f};
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

Picture volcano() {
    Picture picture(screenWidth, screenHeight, false);
    const float crater = 470;  // x of the vent
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) {
            const float v = y / static_cast<float>(screenHeight);
            Colour c = blend({0.06f, 0.03f, 0.1f}, {0.8f, 0.25f, 0.08f}, std::pow(v, 1.2f));
            // Ash billowing up from the vent, lit red from below.
            const float plume = std::fabs(x - crater - (200 - y) * 0.5f) / (50 + (200 - y) * 1.1f);
            if (y < 205 && plume < 1) {
                const float ash = fractalNoise(x / 45.0f, y / 45.0f, 5, 97);
                const Colour lit = blend({1.0f, 0.45f, 0.1f}, {0.35f, 0.22f, 0.22f}, std::pow(1 - y / 205.0f, 0.6f));
                c = blend(c, lit, std::min(1.0f, (1 - plume) * ash * 1.8f));
            }
            // Sparks thrown out of the vent.
            if (y < 220 && noise(x, y, 101) > 0.9975f && std::fabs(x - crater) < 260 - y)
                c = {1.0f, 0.8f, 0.3f};
            // The cone, dark, with lava rivers glowing down its flanks.
            const float slope = 200 + std::fabs(x - crater) * 0.55f + 15 * fractalNoise(x / 50.0f, 1, 3, 103);
            if (y > slope) {
                // Rock, its left flank catching the red of the sky.
                c = blend({0.2f, 0.08f, 0.07f}, {0.04f, 0.03f, 0.04f}, smoothstep(-200, 250, x - crater));
                for (int river = 0; river < 3; ++river) {
                    const float path = crater + (river - 1) * 25 + (y - 200) * (river - 1) * 0.9f + 20 * std::sin(y * 0.05f + river);
                    const float d = std::fabs(x - path) / (2 + (y - 200) * 0.015f);
                    c = added(c, scaled({0.9f, 0.25f, 0.05f}, 0.6f * std::exp(-d / 3)));  // the glow around it
                    if (d < 1)
                        c = blend(c, {1.0f, 0.75f + 0.2f * (1 - d), 0.3f}, 1 - d * d);
                }
            }
            picture.at(x, y) = pack(c);
        }
    return picture;
}

}  // namespace datagen
