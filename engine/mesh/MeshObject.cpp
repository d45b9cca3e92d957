#include "engine/mesh/MeshObject.h"

#include "engine/core/Init.h"
#include "engine/io/FileIO.h"

#include <cassert>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

using tarnix::FileIO;
using tarnix::uv_coord;
using tarnix::Vector;

// ---- Sub-objects ----

void MeshSubObject::setFaceTriangleSize(unsigned n) {
    faceTriangles.reset(n > 0 ? new MeshFaceTriangle[n] : nullptr);
    faceTriangleSize = n;
}

void MeshSubObject::setVertexSize(unsigned n) {
    vertices.reset(n > 0 ? new Vector[n] : nullptr);
    vertexSize = n;
}

void MeshSubObject::setTexCoordSize(unsigned n) {
    texCoords.reset(n > 0 ? new uv_coord[n] : nullptr);
    texCoordSize = n;
    texCoordFlag = n > 0;
}

bool MeshSubObject::hasTexCoord() const { return texCoordFlag; }

unsigned MeshSubObject::getFaceTriangleSize() const { return faceTriangleSize; }

unsigned MeshSubObject::getVertexSize() const { return vertexSize; }

unsigned MeshSubObject::getTexCoordSize() const { return texCoordSize; }

MeshFaceTriangle* MeshSubObject::getFaceTriangles() const { return faceTriangles.get(); }

Vector* MeshSubObject::getVertices() const { return vertices.get(); }

uv_coord* MeshSubObject::getTexCoords() const { return texCoords.get(); }

// ---- Mesh ----

MeshObject::MeshObject() = default;

MeshObject::~MeshObject() = default;

const std::string& MeshObject::getName() const { return name; }

void MeshObject::setName(const std::string& meshName) { name = meshName; }

void MeshObject::setObjectSize(unsigned n) {
    objects.reset(n > 0 ? new MeshSubObject[n] : nullptr);
    objectSize = n;
}

void MeshObject::setMaterialSize(unsigned n) {
    materials.reset(n > 0 ? new MeshMaterial[n] : nullptr);
    materialSize = n;
}

unsigned MeshObject::getObjectSize() const { return objectSize; }

unsigned MeshObject::getMaterialSize() const { return materialSize; }

MeshSubObject& MeshObject::getObject(unsigned i) {
    assert(i < objectSize);
    return objects[i];
}

MeshMaterial& MeshObject::getMaterial(unsigned i) {
    assert(i < materialSize);
    return materials[i];
}

// The printf dialect the messages are checked against: MinGW's compilers
// check Windows' own by default, which lacks %zu; the program uses MinGW's
// C99 printf, which has it.
#ifdef __MINGW_PRINTF_FORMAT
#define printfFormat __MINGW_PRINTF_FORMAT
#else
#define printfFormat printf
#endif

namespace {

// Index of `element` in array[0 .. count-1], or 0 when it is not in it.
template <typename T>
unsigned indexIn(const T* array, std::uint32_t count, const T* element) {
    if (!array || !element || element < array || element >= array + count)
        return 0;
    return static_cast<unsigned>(element - array);
}

}  // namespace

unsigned MeshObject::getMaterialOrder(const MeshMaterial* material) const {
    return indexIn(materials.get(), materialSize, material);
}

unsigned MeshObject::getVertexOrder(unsigned object, const Vector* vertex) const {
    const MeshSubObject& sub = objects[object];
    return indexIn(sub.getVertices(), sub.getVertexSize(), vertex);
}

unsigned MeshObject::getTexCoordOrder(unsigned object, const uv_coord* texCoord) const {
    const MeshSubObject& sub = objects[object];
    return indexIn(sub.getTexCoords(), sub.getTexCoordSize(), texCoord);
}

// ---- DVM writing ----

namespace {

const unsigned char fileTag = 0xA0;
const unsigned char fileVersion = 1;
const unsigned char materialBlockTag = 0xA1;
const unsigned char objectBlockTag = 0xA2;
const unsigned char faceListMarker = 1;
const unsigned largestShortIndex = 0xFFFF;  // material, sub-object and triangle indices are u16

enum ColourId : unsigned char { ambientId = 1, diffuseId = 2, specularId = 3 };

void writeColour(FileIO& out, ColourId id, const float (&colour)[3]) {
    out.writeUChar(id);
    for (float component : colour)
        out.writeFloat(component);
}

}  // namespace

bool MeshObject::writeFile(const char* fileName) const {
    const std::string path = tarnix::init.getDataPath(fileName);
    if (materialSize > largestShortIndex || objectSize > largestShortIndex) {
        std::fprintf(stderr, "tarnix: %s: %u materials and %u sub-objects; the DVM format holds at most %u of each\n",
                     path.c_str(), materialSize, objectSize, largestShortIndex);
        return false;
    }
    for (unsigned o = 0; o < objectSize; ++o) {
        const MeshSubObject& sub = objects[o];
        if (sub.getVertexSize() <= largestShortIndex + 1 && sub.getTexCoordSize() <= largestShortIndex + 1)
            continue;  // every index into these lists fits
        for (unsigned t = 0; t < sub.getFaceTriangleSize(); ++t) {
            for (const MeshFacePoint& corner : sub.getFaceTriangles()[t].points) {
                const unsigned vertex = getVertexOrder(o, corner.vertex);
                const unsigned texCoord = getTexCoordOrder(o, corner.texCoord);
                if (vertex > largestShortIndex || texCoord > largestShortIndex) {
                    std::fprintf(stderr,
                                 "tarnix: %s: triangle %u of sub-object %u refers to vertex %u; the DVM format "
                                 "addresses at most %u vertices a sub-object\n",
                                 path.c_str(), t, o, std::max(vertex, texCoord), largestShortIndex + 1);
                    return false;
                }
            }
        }
    }

    FileIO out;
    if (!out.openReplacement(path)) {
        std::fprintf(stderr, "tarnix: %s: cannot write the mesh: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    out.writeUChar(fileTag);
    out.writeUChar(fileVersion);
    out.writeCStr(name.c_str());

    out.writeUChar(materialBlockTag);
    out.writeUInt32(0);
    out.writeUInt16(static_cast<unsigned short>(materialSize));
    for (unsigned m = 0; m < materialSize; ++m) {
        const MeshMaterial& material = materials[m];
        out.writeCStr(material.name.c_str());
        out.writeCStr(material.textureName.c_str());
        out.writeUChar(3);
        writeColour(out, ambientId, material.ambient);
        writeColour(out, diffuseId, material.diffuse);
        writeColour(out, specularId, material.specular);
        out.writeUInt32(material.shininess);
        out.writeFloat(material.opacity);
    }

    out.writeUChar(objectBlockTag);
    out.writeUInt32(0);
    out.writeUInt16(static_cast<unsigned short>(objectSize));
    for (unsigned o = 0; o < objectSize; ++o) {
        const MeshSubObject& sub = objects[o];
        out.writeCStr(sub.name.c_str());
        out.writeVector(sub.origin);
        out.writeUInt32(sub.getVertexSize());
        for (unsigned v = 0; v < sub.getVertexSize(); ++v)
            out.writeVector(sub.getVertices()[v]);
        out.writeUInt32(sub.getTexCoordSize());
        for (unsigned c = 0; c < sub.getTexCoordSize(); ++c) {
            out.writeFloat(sub.getTexCoords()[c].u);
            out.writeFloat(sub.getTexCoords()[c].v);
        }
        out.writeUChar(faceListMarker);
        out.writeUInt32(sub.getFaceTriangleSize());
        for (unsigned t = 0; t < sub.getFaceTriangleSize(); ++t) {
            const MeshFaceTriangle& triangle = sub.getFaceTriangles()[t];
            out.writeUInt16(static_cast<unsigned short>(getMaterialOrder(triangle.material)));
            for (const MeshFacePoint& corner : triangle.points) {
                out.writeUInt16(static_cast<unsigned short>(getVertexOrder(o, corner.vertex)));
                out.writeUInt16(static_cast<unsigned short>(getTexCoordOrder(o, corner.texCoord)));
            }
        }
    }
    if (!out.commitReplacement()) {
        std::fprintf(stderr, "tarnix: %s: cannot write the mesh: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

// ---- DVM reading ----

namespace {

// Reads a DVM file with every count and index checked against what the file
// and the lists hold. The first problem is reported, and every read after it
// fails too, so the caller checks once per record.
class DvmReader {
public:
    DvmReader(FileIO& file, const char* fileName) : in(file), name(fileName) {}

    bool ok() const { return !failed; }

    bool fail(const char* format, ...) __attribute__((format(printfFormat, 2, 3))) {
        if (!failed) {
            char reason[256];
            va_list arguments;
            va_start(arguments, format);
            std::vsnprintf(reason, sizeof reason, format, arguments);
            va_end(arguments);
            std::fprintf(stderr, "tarnix: %s: %s\n", name, reason);
        }
        failed = true;
        return false;
    }

    // True when `count` records of `size` bytes are left in the file.
    bool has(std::uint64_t count, std::uint64_t size, const char* what) {
        if (!failed && count * size > in.getRemaining())
            return fail("%llu %s do not fit in the %u bytes left (the file is cut short or damaged)",
                        static_cast<unsigned long long>(count), what, in.getRemaining());
        return !failed;
    }

    unsigned char u8() { return has(1, 1, "bytes") ? in.readUChar() : 0; }
    unsigned short u16() { return has(1, 2, "bytes") ? in.readUInt16() : 0; }
    std::uint32_t u32() { return has(1, 4, "bytes") ? in.readUInt32() : 0; }
    float f32() { return has(1, 4, "bytes") ? in.readFloat() : 0.0f; }
    Vector vec3() { return has(3, 4, "bytes") ? in.readVector() : Vector(); }

    std::string cstr() {
        if (failed)
            return std::string();
        const unsigned char* rest = in.readFile() + in.getPosition();
        if (in.getRemaining() == 0 || !std::memchr(rest, '\0', in.getRemaining())) {
            fail("the file ends inside a name");
            return std::string();
        }
        return in.readCStr();
    }

    // The element `index` of array[0 .. count-1]. Index 0 of an empty list is
    // how the writer stores a missing reference, and reads back as null.
    template <typename T>
    T* element(T* array, std::uint32_t count, unsigned index, const char* what, unsigned triangle, unsigned object) {
        if (index < count)
            return &array[index];
        if (count != 0 || index != 0)
            fail("triangle %u of sub-object %u refers to %s %u of %u", triangle, object, what, index, count);
        return nullptr;
    }

private:
    FileIO& in;
    const char* name;
    bool failed = false;
};

const unsigned smallestMaterialRecord = 1 + 1 + 1 + 4 + 4;            // two empty names, no colours
const unsigned smallestObjectRecord = 1 + 12 + 4 + 4 + 1 + 4;          // empty name, no lists
const unsigned colourRecordSize = 1 + 3 * 4;
const unsigned triangleRecordSize = 7 * 2;

void readMaterial(DvmReader& in, MeshMaterial& material) {
    material.name = in.cstr();
    material.textureName = in.cstr();
    const unsigned colours = in.u8();
    if (!in.has(colours, colourRecordSize, "colour records"))
        return;
    for (unsigned c = 0; c < colours; ++c) {
        const unsigned char id = in.u8();
        float colour[3];
        for (float& component : colour)
            component = in.f32();
        float* target = id == ambientId ? material.ambient : id == diffuseId ? material.diffuse
                      : id == specularId ? material.specular : nullptr;
        if (target)
            std::copy(colour, colour + 3, target);
    }
    material.shininess = in.u32();
    material.opacity = in.f32();
}

void readTriangles(DvmReader& in, MeshObject& mesh, unsigned object) {
    MeshSubObject& sub = mesh.getObject(object);
    const std::uint32_t count = in.u32();
    if (!in.has(count, triangleRecordSize, "triangles"))
        return;
    sub.setFaceTriangleSize(count);
    MeshMaterial* materials = mesh.getMaterialSize() ? &mesh.getMaterial(0) : nullptr;
    for (unsigned t = 0; t < count && in.ok(); ++t) {
        MeshFaceTriangle& triangle = sub.getFaceTriangles()[t];
        triangle.material = in.element(materials, mesh.getMaterialSize(), in.u16(), "material", t, object);
        for (MeshFacePoint& corner : triangle.points) {
            corner.vertex = in.element(sub.getVertices(), sub.getVertexSize(), in.u16(), "vertex", t, object);
            const unsigned texCoord = in.u16();
            if (sub.hasTexCoord())
                corner.texCoord = in.element(sub.getTexCoords(), sub.getTexCoordSize(), texCoord,
                                             "texture coordinate", t, object);
        }
    }
}

void readObject(DvmReader& in, MeshObject& mesh, unsigned object) {
    MeshSubObject& sub = mesh.getObject(object);
    sub.name = in.cstr();
    sub.origin = in.vec3();
    const std::uint32_t vertices = in.u32();
    if (!in.has(vertices, 12, "vertices"))
        return;
    sub.setVertexSize(vertices);
    for (unsigned v = 0; v < vertices; ++v)
        sub.getVertices()[v] = in.vec3();
    const std::uint32_t texCoords = in.u32();
    if (!in.has(texCoords, 8, "texture coordinates"))
        return;
    sub.setTexCoordSize(texCoords);
    for (unsigned c = 0; c < texCoords; ++c) {
        sub.getTexCoords()[c].u = in.f32();
        sub.getTexCoords()[c].v = in.f32();
    }
    in.u8();  // face-list marker
    readTriangles(in, mesh, object);
}

bool readMesh(DvmReader& in, MeshObject& mesh) {
    in.u8();  // file tag
    in.u8();  // version
    mesh.setName(in.cstr());

    in.u8();   // material block tag
    in.u32();  // reserved
    const unsigned materials = in.u16();
    if (!in.has(materials, smallestMaterialRecord, "materials"))
        return false;
    mesh.setMaterialSize(materials);
    for (unsigned m = 0; m < materials && in.ok(); ++m)
        readMaterial(in, mesh.getMaterial(m));

    in.u8();   // object block tag
    in.u32();  // reserved
    const unsigned objects = in.u16();
    if (!in.has(objects, smallestObjectRecord, "sub-objects"))
        return false;
    mesh.setObjectSize(objects);
    for (unsigned o = 0; o < objects && in.ok(); ++o)
        readObject(in, mesh, o);
    return in.ok();
}

}  // namespace

bool MeshObject::readFile(const char* fileName) {
    FileIO file;
    if (!file.open(fileName, std::ios::in | std::ios::binary))
        return false;
    MeshObject loaded;
    DvmReader in(file, fileName);
    if (!readMesh(in, loaded))
        return false;
    // The arrays move with their owners, so the triangles' references stay valid.
    std::swap(objectSize, loaded.objectSize);
    std::swap(materialSize, loaded.materialSize);
    std::swap(name, loaded.name);
    std::swap(materials, loaded.materials);
    std::swap(objects, loaded.objects);
    return true;
}
