#pragma once

#include <string>
#include <vector>

// 3D Studio files as other programs write and read them: a Wavefront OBJ model
// that a real 3DS writer (assimp) converts, and the counts the reference
// library lib3ds reads back.

namespace testsupport {

// Writes <directory>/<name>.obj and its .mtl: `objects` grids of side × side
// quads (two triangles each, texture coordinates per vertex), the lower half of
// each grid in one material and the upper half in another, two materials in
// all with diffuse colours and texture bitmaps.
void writeObjModel(const std::string& directory, const std::string& name, int objects, int side);

// Runs "assimp export <from> <to>"; true when it wrote the file.
bool convertWithAssimp(const std::string& from, const std::string& to);

struct StudioObjectCounts {
    std::string name;
    unsigned vertices = 0;
    unsigned faces = 0;
    unsigned texCoords = 0;
    bool operator<(const StudioObjectCounts& other) const { return name < other.name; }
    bool operator==(const StudioObjectCounts& other) const {
        return name == other.name && vertices == other.vertices && faces == other.faces &&
               texCoords == other.texCoords;
    }
};

// The mesh objects of a 3DS file as lib3ds reads them, sorted by name; empty
// when lib3ds cannot read the file.
std::vector<StudioObjectCounts> lib3dsObjectCounts(const std::string& path);

}  // namespace testsupport
