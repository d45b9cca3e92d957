#pragma once

#include "engine/render/Vector.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tarnix {

// One texture coordinate, in the order the file stores it.
struct uv_coord {
    float u = 0.0f;
    float v = 0.0f;
};

}  // namespace tarnix

struct MeshMaterial {
    std::string name;
    std::string textureName;                 // bitmap file name, "" when none
    float ambient[3] = {1.0f, 1.0f, 1.0f};   // r, g, b, 0..1
    float diffuse[3] = {1.0f, 1.0f, 1.0f};
    float specular[3] = {1.0f, 1.0f, 1.0f};
    std::uint32_t shininess = 0;             // percent, 0..100
    float opacity = 0.0f;                    // 1 - transparency, 0..1
};

// One corner of a triangle: references into its sub-object's arrays.
struct MeshFacePoint {
    tarnix::Vector* vertex = nullptr;        // null when unset
    tarnix::uv_coord* texCoord = nullptr;    // null when unset or the sub-object has none
};

struct MeshFaceTriangle {
    MeshMaterial* material = nullptr;        // into the mesh's materials; null when unset
    MeshFacePoint points[3];                 // corners in drawing order
    // Face normal, owned by the triangle (held in place rather than on the
    // heap: a large mesh would otherwise make one allocation per triangle);
    // empty until calculated.
    std::optional<tarnix::Vector> normal;
};

// One part of a mesh: its own vertices, texture coordinates and triangles.
// Each array is made once at its final size by its size setter, so the
// triangles' references into it stay valid; a setter drops the old array.
class MeshSubObject {
public:
    std::string name;
    tarnix::Vector origin;          // carried through the file, used by nothing else
    unsigned vertexBuffer = 0;      // OpenGL buffer names, 0 until built
    unsigned texCoordBuffer = 0;

    void setFaceTriangleSize(unsigned n);
    void setVertexSize(unsigned n);   // vertices start at (0, 0, 0)
    // Also sets hasTexCoord() to n > 0.
    void setTexCoordSize(unsigned n);
    bool hasTexCoord() const;

    unsigned getFaceTriangleSize() const;
    unsigned getVertexSize() const;
    unsigned getTexCoordSize() const;
    // The arrays; null when empty.
    MeshFaceTriangle* getFaceTriangles() const;
    tarnix::Vector* getVertices() const;
    tarnix::uv_coord* getTexCoords() const;

    // Uploads the triangles' corners (and texture coordinates) into vertex
    // buffers: three vertices of three floats per triangle, in triangle order.
    // Needs the vertex-buffer entry points.
    void buildSubObject();

private:
    bool texCoordFlag = false;
    std::uint32_t faceTriangleSize = 0;
    std::uint32_t vertexSize = 0;
    std::uint32_t texCoordSize = 0;
    std::unique_ptr<MeshFaceTriangle[]> faceTriangles;
    std::unique_ptr<tarnix::Vector[]> vertices;
    std::unique_ptr<tarnix::uv_coord[]> texCoords;
};

// A named mesh: sub-objects sharing one material table. It is stored as a DVM
// mesh file (little-endian, no padding; cstr = bytes and a zero byte):
//   header    u8 0xA0, u8 version 1, cstr name
//   materials u8 0xA1, u32 0, u16 count, then per material:
//             cstr name, cstr texture name, u8 colour count,
//             colour count × (u8 id 1 ambient | 2 diffuse | 3 specular, 3 × f32),
//             u32 shininess, f32 opacity
//   objects   u8 0xA2, u32 0, u16 count, then per sub-object:
//             cstr name, 3 × f32 origin, u32 n + n × 3 × f32 vertices,
//             u32 n + n × 2 × f32 texture coordinates, u8 1,
//             u32 n + n × 7 × u16 triangles: material, then vertex and
//             texture-coordinate index of each corner
class MeshObject {
public:
    MeshObject();
    ~MeshObject();
    MeshObject(const MeshObject&) = delete;
    MeshObject& operator=(const MeshObject&) = delete;

    const std::string& getName() const;
    void setName(const std::string& meshName);

    // Drop every sub-object (material) and make n new ones.
    void setObjectSize(unsigned n);
    void setMaterialSize(unsigned n);
    unsigned getObjectSize() const;
    unsigned getMaterialSize() const;
    MeshSubObject& getObject(unsigned i);              // i below getObjectSize()
    MeshMaterial& getMaterial(unsigned i);             // i below getMaterialSize()

    // Index of the element at this address; 0 when it is not one of them.
    unsigned getMaterialOrder(const MeshMaterial* material) const;
    unsigned getVertexOrder(unsigned object, const tarnix::Vector* vertex) const;
    unsigned getTexCoordOrder(unsigned object, const tarnix::uv_coord* texCoord) const;

    // Writes data/<name> as a DVM mesh file, replacing an older file only
    // when the new one is complete. False, after one line on standard error,
    // when the mesh does not fit the format's 16-bit fields or the file cannot
    // be written.
    bool writeFile(const char* fileName) const;
    // Reads a DVM mesh file (pack entry, data/<name>, or <name>), replacing
    // name, materials and sub-objects. A file that does not open leaves the
    // mesh as it was and returns false quietly; a damaged one (a count beyond
    // the file, an index beyond its list, an early end) leaves it as it was too,
    // after one line on standard error.
    //
    // Memory: every count is checked against the bytes left at its record's
    // smallest size before anything is allocated, so a file of n bytes costs
    // the n bytes themselves and at most about 11 n of mesh: the worst is a
    // file of 11-byte materials, each a 112-byte record (a 14-byte triangle
    // becomes 72 bytes, a 26-byte sub-object about 120).
    bool readFile(const char* fileName);

    // ---- Normals and drawing (the caller sets colour, texture and transforms)

    // Unit normal of the triangle (a, b, c): (a - b) × (b - c), normalised;
    // (0, 0, 0) for a degenerate triangle.
    static tarnix::Vector getNormal(const tarnix::Vector& a, const tarnix::Vector& b, const tarnix::Vector& c);
    // Gives every triangle of one (or every) sub-object a new flat normal.
    void calculateNormals(unsigned object);
    void calculateNormals();
    // Normals, then vertex buffers for every sub-object when the driver has them.
    void buildObject();
    // Reads the DVM file again and builds it in place of this mesh, whose
    // holders then draw the new one; the old vertex buffers are deleted. False,
    // the old mesh kept and still drawable, when the file does not read (one
    // line on standard error).
    bool reloadFile(const char* fileName);
    // Draws triangles of one sub-object. n = count mod T (count 0: all T).
    // Buffer path: 3n vertices from vertex index `first`, clamped to the
    // buffer. Immediate path with texture coordinates: triangles first .. n-1;
    // without: every triangle.
    void drawSubObject(unsigned object, unsigned first, unsigned count);
    void drawObject(unsigned first, unsigned count);

private:
    std::uint32_t objectSize = 0;
    std::uint32_t materialSize = 0;
    std::string name;
    std::unique_ptr<MeshMaterial[]> materials;
    std::unique_ptr<MeshSubObject[]> objects;
};
