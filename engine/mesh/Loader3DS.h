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
// Damaged files: a chunk that claims to run past the chunk around it (or the
// file) is cut back to that limit and the walk goes on. When the bytes missing
// all belong to one chunk the importer skips anyway (a file cut inside its
// trailing keyframer section), the model is complete: one warning line, and
// the mesh is the whole file's. Any other damage (a chunk shorter than its
// header, data running past its chunk, an overrun that loses chunks, a bitmap
// name longer than the 255 bytes a file name can have) fails the
// import with one line on standard error naming the chunk and its offset, and
// the lists stay as they were. Indices that point nowhere become null
// references; a material group never lengthens a model's face-material list
// past its face count.
//
// Memory: a file of n bytes makes one import allocate at most about 120 n
// bytes plus a constant. The worst case is a file of nothing but 7-byte
// material-name chunks, each of which becomes an importer material and a mesh
// material inheriting a bitmap name of up to 255 bytes; geometry costs about
// 12 bytes per byte of its chunks (an 8-byte face becomes a 72-byte triangle).
// The file itself is held once, n bytes. Meshes the importer returns hold the
// models of every earlier file as well, so a run's total follows the sum of
// the files it imported.
class CObject {
public:
    // Imports data/<name> and returns a new mesh the caller owns, or null
    // when the file does not open ("Failed to load file <name>" on standard
    // error) or is damaged (one line naming the chunk and its offset).
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
