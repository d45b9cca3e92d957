#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The demo's mesh: a sculpted head studded with machine parts on its back,
// written as a 3D Studio file (the program's own converter turns it into
// "greeble.dvm").

namespace datagen {

struct StudioMesh {
    std::string objectName;
    std::string materialName;
    std::vector<float> vertices;           // x, y, z
    std::vector<float> texCoords;          // u, v per vertex
    std::vector<std::uint16_t> triangles;  // three vertex indices each
    unsigned triangleCount() const { return static_cast<unsigned>(triangles.size() / 3); }
};

// Exactly 8592 triangles in one object: a head of 64 slices and 48 rings
// (6144 triangles) and 204 boxes of 12 triangles on its back and crown.
StudioMesh greebleHead();

// The mesh as the bytes of a 3D Studio file: one material, one object whose
// faces all use it.
std::string studioFile(const StudioMesh& mesh);

}  // namespace datagen
