#pragma once

#include "engine/render/Vector.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class MeshObject;

// One triangle as a 3D Studio file gives it: indices into its model's vertices
// (the flags word that follows them in the file is dropped).
struct FACE_ARRAY_ABC {
    std::uint16_t a = 0;
    std::uint16_t b = 0;
    std::uint16_t c = 0;
};

// One texture coordinate as read.
struct TEX_VERT_UV {
    float u = 0.0f;
    float v = 0.0f;
};

// One named object of a 3D Studio file.
struct CObjectModel {
    std::optional<std::string> name;        // none until a named-object chunk was read
    std::vector<int> faceMaterials;         // material index of each face, by face index
    std::vector<tarnix::Vector> vertices;   // file order
    std::vector<FACE_ARRAY_ABC> faces;      // file order
    std::vector<TEX_VERT_UV> texVerts;      // one per vertex, file order
};

// One material of a 3D Studio file. Values start at zero.
struct CObjectMaterial {
    std::string name;
    std::string bitmapName;                 // the first texture map's bitmap file
    float ambient[3] = {};                  // r, g, b, 0..1
    float diffuse[3] = {};
    float specular[3] = {};
    float opacity = 0.0f;                   // (100 - transparency) / 100
    std::uint16_t shininess = 0;            // percent
    std::uint16_t transparency = 0;         // percent
};

// The 3D Studio importer. It reads a file as one flat stream of chunks: group
// chunks are entered, the chunks it knows are read, every other chunk is
// skipped whole; a trace of what it finds goes to standard output. Its model
// and material lists are never emptied, so every mesh it returns holds the
// models and materials of all the files imported before it as well.
//
// Hostile files end the import cleanly: a chunk shorter than its header or
// longer than the chunk (or file) around it, or data running past its chunk,
// stops reading with one line on standard error; what was read is kept.
// Indices that point nowhere become null references.
class CObject {
public:
    // Imports data/<name> and returns a new mesh the caller owns, or null
    // (after "Failed to load file <name>" on standard error) when the file
    // does not open.
    MeshObject* loadModel(const std::string& name);
    // A new mesh named `name` from every model and material read so far.
    MeshObject* display(const std::string& name);

    const std::vector<CObjectModel>& getModels() const;
    const std::vector<CObjectMaterial>& getMaterials() const;
    float getMasterScale() const;

private:
    std::vector<CObjectModel> models;
    std::vector<CObjectMaterial> materials;
    float masterScale = 1.0f;
};

// The engine's importer.
extern CObject obj;
