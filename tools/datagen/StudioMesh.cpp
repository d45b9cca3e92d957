#include "tools/datagen/StudioMesh.h"

#include <cmath>
#include <cstring>

namespace datagen {

namespace {

const double pi = 3.14159265358979323846;
const int slices = 64;
const int rings = 48;           // latitude rings between the poles
const int greebleCount = 204;

struct Point {
    double x, y, z;
};

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point operator*(Point a, double s) { return {a.x * s, a.y * s, a.z * s}; }

double bump(double value, double centre, double width) {
    const double d = (value - centre) / width;
    return std::exp(-d * d);
}

// The head's radius in a direction: latitude lat (-pi/2 chin .. pi/2 crown)
// and longitude lon (0 facing +z, the viewer).
double headRadius(double lat, double lon) {
    const double front = std::cos(lon);                 // 1 facing the viewer
    const double side = std::sin(lon);
    double r = 1.0;
    r += 0.28 * bump(lon, 0, 0.18) * bump(lat, -0.05, 0.14);            // nose
    r += 0.10 * bump(lon, 0, 0.9) * bump(lat, 0.25, 0.08);              // brow
    r -= 0.09 * (bump(lon, 0.38, 0.13) + bump(lon, -0.38, 0.13)) * bump(lat, 0.14, 0.09);  // eyes
    r += 0.08 * bump(lon, 0, 0.35) * bump(lat, -0.55, 0.12);            // chin
    r += 0.12 * (bump(lon, pi / 2, 0.12) + bump(lon, -pi / 2, 0.12)) * bump(lat, 0.05, 0.18);  // ears
    r -= 0.12 * bump(lat, -0.75, 0.25) * (0.5 + 0.5 * std::fabs(side));  // jaw narrows to the neck
    r += 0.06 * front * bump(lat, -0.3, 0.1);                            // lips
    return r;
}

Point headPoint(double lat, double lon) {
    const double r = headRadius(lat, lon);
    return {0.78 * r * std::cos(lat) * std::sin(lon), 1.05 * r * std::sin(lat), 0.9 * r * std::cos(lat) * std::cos(lon)};
}

// A small deterministic generator for the greebles' places and sizes.
class Dice {
public:
    double next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    }

private:
    unsigned long long state = 0x6E65626Cull;
};

void addBox(StudioMesh& mesh, Point centre, Point axisU, Point axisV, Point axisN) {
    const auto base = static_cast<std::uint16_t>(mesh.vertices.size() / 3);
    for (int corner = 0; corner < 8; ++corner) {
        const Point p = centre + axisU * ((corner & 1) ? 1 : -1) + axisV * ((corner & 2) ? 1 : -1) +
                        axisN * ((corner & 4) ? 1 : 0);
        mesh.vertices.insert(mesh.vertices.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
        mesh.texCoords.insert(mesh.texCoords.end(), {(corner & 1) ? 1.0f : 0.0f, (corner & 2) ? 1.0f : 0.0f});
    }
    static const int faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                     {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& face : faces)
        for (int k : face)
            mesh.triangles.push_back(static_cast<std::uint16_t>(base + k));
}

// ---- 3D Studio chunks ----

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void putFloat(std::string& out, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    put32(out, bits);
}

std::string chunk(unsigned id, const std::string& payload) {
    std::string out;
    put16(out, id);
    put32(out, static_cast<std::uint32_t>(6 + payload.size()));
    return out + payload;
}

std::string cstring(const std::string& text) { return text + std::string(1, '\0'); }

}  // namespace

StudioMesh greebleHead() {
    StudioMesh mesh;
    mesh.objectName = "greeble";
    mesh.materialName = "chrome";
    // Poles first, then the rings from the chin up.
    for (int pole = 0; pole < 2; ++pole) {
        const Point p = headPoint(pole == 0 ? -pi / 2 : pi / 2, 0);
        mesh.vertices.insert(mesh.vertices.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
        mesh.texCoords.insert(mesh.texCoords.end(), {0.5f, pole == 0 ? 0.0f : 1.0f});
    }
    for (int ring = 0; ring < rings; ++ring) {
        const double lat = -pi / 2 + pi * (ring + 1) / (rings + 1);
        for (int slice = 0; slice < slices; ++slice) {
            const double lon = 2 * pi * slice / slices - pi;
            const Point p = headPoint(lat, lon);
            mesh.vertices.insert(mesh.vertices.end(), {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
            mesh.texCoords.insert(mesh.texCoords.end(),
                                  {static_cast<float>(slice) / slices, static_cast<float>(ring + 1) / (rings + 1)});
        }
    }
    auto ringVertex = [](int ring, int slice) { return static_cast<std::uint16_t>(2 + ring * slices + (slice % slices)); };
    for (int slice = 0; slice < slices; ++slice) {
        mesh.triangles.insert(mesh.triangles.end(), {0, ringVertex(0, slice + 1), ringVertex(0, slice)});
        mesh.triangles.insert(mesh.triangles.end(), {1, ringVertex(rings - 1, slice), ringVertex(rings - 1, slice + 1)});
    }
    for (int ring = 0; ring + 1 < rings; ++ring)
        for (int slice = 0; slice < slices; ++slice) {
            const std::uint16_t a = ringVertex(ring, slice), b = ringVertex(ring, slice + 1);
            const std::uint16_t c = ringVertex(ring + 1, slice + 1), d = ringVertex(ring + 1, slice);
            mesh.triangles.insert(mesh.triangles.end(), {a, b, c, a, c, d});
        }

    // Machine parts on the back of the skull and the crown, standing out of
    // the surface along its normal.
    Dice dice;
    for (int g = 0; g < greebleCount; ++g) {
        const double lon = pi * (0.55 + 0.9 * dice.next()) * (dice.next() < 0.5 ? 1 : -1);
        const double lat = -0.2 + 1.35 * dice.next();
        const Point centre = headPoint(lat, lon) * 0.97;
        const Point tangentLon = {std::cos(lon), 0, -std::sin(lon)};
        const Point tangentLat = {-std::sin(lat) * std::sin(lon), std::cos(lat), -std::sin(lat) * std::cos(lon)};
        const Point normal = {std::cos(lat) * std::sin(lon), std::sin(lat), std::cos(lat) * std::cos(lon)};
        const double size = 0.025 + 0.06 * dice.next();
        const double aspect = 0.5 + dice.next();
        addBox(mesh, centre, tangentLon * (size * aspect), tangentLat * (size / aspect), normal * (0.04 + 0.12 * dice.next()));
    }
    return mesh;
}

std::string studioFile(const StudioMesh& mesh) {
    std::string points;
    put16(points, static_cast<unsigned>(mesh.vertices.size() / 3));
    for (float value : mesh.vertices)
        putFloat(points, value);
    std::string texels;
    put16(texels, static_cast<unsigned>(mesh.texCoords.size() / 2));
    for (float value : mesh.texCoords)
        putFloat(texels, value);
    std::string group = cstring(mesh.materialName);
    put16(group, mesh.triangleCount());
    for (unsigned face = 0; face < mesh.triangleCount(); ++face)
        put16(group, face);
    std::string faces;
    put16(faces, mesh.triangleCount());
    for (unsigned face = 0; face < mesh.triangleCount(); ++face) {
        for (int k = 0; k < 3; ++k)
            put16(faces, mesh.triangles[3 * face + k]);
        put16(faces, 0);  // flags
    }
    faces += chunk(0x4130, group);

    std::string colour;
    colour += static_cast<char>(200);
    colour += static_cast<char>(205);
    colour += static_cast<char>(215);
    const std::string material = chunk(0xAFFF, chunk(0xA000, cstring(mesh.materialName)) +
                                                    chunk(0xA020, chunk(0x0011, colour)));
    std::string scale;
    putFloat(scale, 1.0f);
    const std::string object = chunk(0x4000, cstring(mesh.objectName) +
                                                 chunk(0x4100, chunk(0x4110, points) + chunk(0x4140, texels) +
                                                                   chunk(0x4120, faces)));
    std::string version;
    put32(version, 3);
    return chunk(0x4D4D, chunk(0x0002, version) + chunk(0x3D3D, material + chunk(0x0100, scale) + object));
}

}  // namespace datagen
