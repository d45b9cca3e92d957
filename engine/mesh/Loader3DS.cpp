#include "engine/mesh/Loader3DS.h"

#include "engine/core/Init.h"
#include "engine/io/FileIO.h"
#include "engine/mesh/MeshObject.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

using tarnix::FileIO;
using tarnix::Vector;

CObject obj;

// The printf dialect the messages are checked against: MinGW's compilers
// check Windows' own by default, which lacks %zu; the program uses MinGW's
// C99 printf, which has it.
#ifdef __MINGW_PRINTF_FORMAT
#define printfFormat __MINGW_PRINTF_FORMAT
#else
#define printfFormat printf
#endif

namespace {

// ---- Chunk ids ----

enum ChunkId : std::uint16_t {
    mainChunk = 0x4D4D,
    editorChunk = 0x3D3D,
    masterScaleChunk = 0x0100,
    namedObjectChunk = 0x4000,
    triangleMeshChunk = 0x4100,
    pointArrayChunk = 0x4110,
    faceArrayChunk = 0x4120,
    materialGroupChunk = 0x4130,
    texVertsChunk = 0x4140,
    materialEntryChunk = 0xAFFF,
    materialNameChunk = 0xA000,
    ambientChunk = 0xA010,
    diffuseChunk = 0xA020,
    specularChunk = 0xA030,
    shininessChunk = 0xA040,
    transparencyChunk = 0xA050,
    textureMapChunk = 0xA200,
    mapNameChunk = 0xA300,
    colourFloatChunk = 0x0010,
    colour24Chunk = 0x0011,
    linearColour24Chunk = 0x0012,
    linearColourFloatChunk = 0x0013,
    intPercentageChunk = 0x0030,
    floatPercentageChunk = 0x0031,
};

const unsigned chunkHeaderSize = 6;

// Stores f × 100 truncated toward zero as a 16-bit value; values no integer
// can hold (NaN, infinities, huge) store 0 rather than trigger undefined
// behaviour.
std::uint16_t percentFromFloat(float f) {
    const float scaled = f * 100;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f))
        return 0;
    return static_cast<std::uint16_t>(static_cast<long>(scaled));
}

// ---- One import ----

// Longest bitmap name accepted, bytes: a file in data/ cannot have a longer
// name. The bound matters because the working material is never cleared: each
// later material inherits the bitmap name, and a name of the whole file's
// length copied into every one of thousands of tiny materials would make the
// import's memory grow with the square of the file's size.
const std::size_t longestBitmapName = 255;

// The working state of one loadModel call: the file, the enclosing chunks, the
// model and material being filled, and where colour and percentage chunks go.
//
// Damage. A chunk that claims to run past the chunk around it (or the file)
// is cut back to that limit and the walk goes on, so that what is whole is
// still read. Whether the import succeeds is decided by what the missing bytes
// held: when they all belong to one chunk the importer skips (a file cut
// inside its trailing keyframer section, where every group around that chunk
// claims to end where it does), nothing read is lost and one warning is
// printed. Any other overrun, a chunk shorter than its header, or data running
// past its chunk fails the import with one line on standard error.
class ImportPass {
public:
    ImportPass(FileIO& file, const std::string& fileName, std::vector<CObjectModel>& modelList,
               std::vector<CObjectMaterial>& materialList, float& scale)
        : in(file), name(fileName), models(modelList), materials(materialList), masterScale(scale) {}

    // Reads chunks until the end of the file. False, after one line on
    // standard error, when the file is damaged in a way that loses data.
    bool readChunks() {
        while (readChunk()) {
        }
        if (!failed)
            closeChunksBefore(in.getLength());
        return !failed;
    }

    // End of file: the working material and model always join the lists.
    void finish() {
        completeMaterial();
        materials.push_back(std::move(material));
        models.push_back(std::move(model));
    }

private:
    // A chunk whose sub-chunks are being read.
    struct OpenChunk {
        unsigned id = 0;
        std::uint32_t offset = 0;
        std::uint64_t claimedEnd = 0;  // offset + length as the file gives it
        std::uint32_t end = 0;         // claimedEnd cut back to the chunk around it or the file
        bool explained = false;        // the bytes past `end` all belonged to a skipped chunk
        bool overruns() const { return claimedEnd > end; }
    };

    // ---- Chunk loop

    bool readChunk() {
        if (!closeChunksBefore(in.getPosition()) || in.isEnd())
            return false;
        const std::uint32_t start = in.getPosition();
        const std::uint32_t limit = currentLimit();
        if (limit - start < chunkHeaderSize)
            return fail("the chunk header at offset %u is cut off by the end of the %s", start, limitName(limit));
        const unsigned id = in.readUInt16();
        const std::uint32_t length = in.readUInt32();
        if (length < chunkHeaderSize)
            return fail("chunk %04X at offset %u has a length of %u bytes, shorter than its header", id, start, length);
        current.id = id;
        current.offset = start;
        current.claimedEnd = static_cast<std::uint64_t>(start) + length;
        current.end = static_cast<std::uint32_t>(std::min<std::uint64_t>(current.claimedEnd, limit));
        current.explained = false;
        if (!handle(id)) {
            std::printf("Not Handled ID: %x (%x)\n", id, length);
            if (current.overruns() && !skippedChunkExplainsCut())
                return failOverrun(current);
            in.readSeek(current.end);
            return true;
        }
        // A handled chunk's sub-chunks follow its fields and must stay inside it.
        enclosing.push_back(current);
        return !failed;
    }

    // Leaves the chunks that end at or before `position`, innermost first. An
    // overrun nothing explained fails here: the bytes it claimed are missing.
    bool closeChunksBefore(std::uint32_t position) {
        while (!enclosing.empty() && position >= enclosing.back().end) {
            const OpenChunk closed = enclosing.back();
            enclosing.pop_back();
            if (closed.overruns() && !closed.explained)
                return failOverrun(closed);
        }
        return true;
    }

    // The skipped chunk being read runs past the file. When every chunk
    // around it claims to end exactly where it does, the missing bytes are all
    // its own: nothing the importer reads is lost.
    bool skippedChunkExplainsCut() {
        for (const OpenChunk& outer : enclosing)
            if (outer.claimedEnd != current.claimedEnd)
                return false;
        for (OpenChunk& outer : enclosing)
            outer.explained = true;
        std::fflush(stdout);
        std::fprintf(stderr,
                     "tarnix: %s: warning: chunk %04X at offset %u is cut off by the end of the file, %llu bytes "
                     "short; it is one the importer skips, so the model is complete\n",
                     name.c_str(), current.id, current.offset,
                     static_cast<unsigned long long>(current.claimedEnd - current.end));
        return true;
    }

    bool failOverrun(const OpenChunk& chunk) {
        return fail("chunk %04X at offset %u claims %llu bytes, %llu more than the %s holds", chunk.id, chunk.offset,
                    static_cast<unsigned long long>(chunk.claimedEnd - chunk.offset),
                    static_cast<unsigned long long>(chunk.claimedEnd - chunk.end), limitName(chunk.end));
    }

    std::uint32_t currentLimit() const { return enclosing.empty() ? in.getLength() : enclosing.back().end; }

    const char* limitName(std::uint32_t limit) const {
        return limit == in.getLength() ? "file" : "chunk around it";
    }

    // Reads the fields of a known chunk; false for an unknown id.
    bool handle(unsigned id) {
        switch (id) {
        case mainChunk:
        case editorChunk:
        case triangleMeshChunk:
        case materialEntryChunk:
        case textureMapChunk:
            return true;
        case masterScaleChunk:
            masterScale = f32();
            printIfRead("MASTER_SCALE: %.2f\n", masterScale);
            return true;
        case namedObjectChunk: readNamedObject(); return true;
        case pointArrayChunk: readPoints(); return true;
        case faceArrayChunk: readFaces(); return true;
        case materialGroupChunk: readMaterialGroup(); return true;
        case texVertsChunk: readTexVerts(); return true;
        case materialNameChunk: readMaterialName(); return true;
        case ambientChunk: return target(material.ambient, "\tMAT_AMBIENT -> ");
        case diffuseChunk: return target(material.diffuse, "\tMAT_DIFFUSE -> ");
        case specularChunk: return target(material.specular, "\tMAT_SPECULAR -> ");
        case shininessChunk: return target(&material.shininess, "\tMAT_SHININESS -> ");
        case transparencyChunk: return target(&material.transparency, "\tMAT_TRANSPARENCY -> ");
        case mapNameChunk: readBitmapName(); return true;
        case colourFloatChunk: readFloatColour("\tCOLOR_F: %.2f %.2f %.2f\n"); return true;
        case linearColourFloatChunk: readFloatColour("\tLIN_COLOR_F: %.2f %.2f %.2f\n"); return true;
        case colour24Chunk: readByteColour("\tCOLOR_24: %.2f %.2f %.2f\n"); return true;
        case linearColour24Chunk: readByteColour("\tLIN_COLOR_24: %.2f %.2f %.2f\n"); return true;
        case intPercentageChunk: readIntPercentage(); return true;
        case floatPercentageChunk: readFloatPercentage(); return true;
        default: return false;
        }
    }

// ---- Objects

    void readNamedObject() {
        if (firstModel) {
            firstModel = false;
        } else {
            models.push_back(std::move(model));
            model = CObjectModel();
        }
        model.name = cstr();
        printIfRead("Model Name: %s\n", model.name->c_str());
    }

    void readPoints() {
        const unsigned count = u16();
        if (!has(count, 12, "vertices"))
            return;
        std::printf("4110 POINT_ARRAY chunk_sub_elements: %d\n", count);
        model.vertices.reserve(model.vertices.size() + count);
        for (unsigned i = 0; i < count; ++i)
            model.vertices.push_back(in.readVector());
    }

    void readFaces() {
        const unsigned count = u16();
        if (!has(count, 8, "faces"))
            return;
        std::printf("4120 FACE_ARRAY chunk_sub_elements: %d\n", count);
        model.faces.reserve(model.faces.size() + count);
        for (unsigned i = 0; i < count; ++i) {
            FACE_ARRAY_ABC face;
            face.a = in.readUInt16();
            face.b = in.readUInt16();
            face.c = in.readUInt16();
            in.readUInt16();  // flags
            model.faces.push_back(face);
        }
    }

    void readTexVerts() {
        const unsigned count = u16();
        if (!has(count, 8, "texture coordinates"))
            return;
        std::printf("4140 TEX_VERTS chunk_sub_elements: %d\n", count);
        model.texVerts.reserve(model.texVerts.size() + count);
        for (unsigned i = 0; i < count; ++i) {
            TEX_VERT_UV uv;
            uv.u = in.readFloat();
            uv.v = in.readFloat();
            model.texVerts.push_back(uv);
        }
    }

    // Faces listed here use the named material. Faces past the end of the
    // list grow it, and the faces skipped over get the material too; a face
    // the model does not have is ignored, so that a group of n entries can
    // never make the list longer than the model's face count.
    void readMaterialGroup() {
        const std::string materialName = cstr();
        if (failed)
            return;
        const auto known = materialIndex.emplace(materialName, 0).first;
        const int index = known->second;
        std::printf("\tUse Material Name: %s\n", materialName.c_str());
        const unsigned count = u16();
        if (!has(count, 2, "face indices"))
            return;
        for (unsigned i = 0; i < count; ++i) {
            const unsigned face = in.readUInt16();
            if (face < model.faceMaterials.size())
                model.faceMaterials[face] = index;
            else if (face < model.faces.size())
                model.faceMaterials.resize(face + 1, index);
        }
    }

    // ---- Materials

    void completeMaterial() { material.opacity = (100.0f - material.transparency) / 100.0f; }

    // The working material is not cleared: what the next material does not
    // set keeps the previous material's value.
    void readMaterialName() {
        completeMaterial();
        if (firstMaterial)
            firstMaterial = false;
        else
            materials.push_back(material);
        material.name = cstr();
        if (failed)
            return;
        materialIndex[material.name] = static_cast<int>(materials.size());
        std::printf("Material Name: %s\n", material.name.c_str());
    }

    void readBitmapName() {
        const std::string bitmap = cstr();
        if (failed)
            return;
        if (bitmap.size() > longestBitmapName) {
            fail("chunk %04X at offset %u names a bitmap of %zu bytes; a file name has at most %zu", current.id,
                 current.offset, bitmap.size(), longestBitmapName);
            return;
        }
        material.bitmapName = bitmap;
        std::printf("\tBitmap Name: %s\n", material.bitmapName.c_str());
    }

    bool target(float* colour, const char* line) {
        colourTarget = colour;
        std::printf("%s", line);
        return true;
    }

    bool target(std::uint16_t* percentage, const char* line) {
        percentTarget = percentage;
        std::printf("%s", line);
        return true;
    }

    void readFloatColour(const char* line) {
        if (!has(3, 4, "colour components"))
            return;
        for (int i = 0; i < 3; ++i)
            colourTarget[i] = in.readFloat();
        std::printf(line, colourTarget[0], colourTarget[1], colourTarget[2]);
    }

    void readByteColour(const char* line) {
        if (!has(3, 1, "colour components"))
            return;
        for (int i = 0; i < 3; ++i)
            colourTarget[i] = in.readUChar() / 255.0f;
        std::printf(line, colourTarget[0], colourTarget[1], colourTarget[2]);
    }

    // A percentage chunk serves the one MAT_SHININESS or MAT_TRANSPARENCY
    // before it; later ones are read and dropped.
    void readIntPercentage() {
        unsigned value = u16();
        if (failed)
            return;
        if (value > 1000)
            value /= 100;
        *percentTarget = static_cast<std::uint16_t>(value);
        std::printf("\tINT_PERCENTAGE: %i\n", static_cast<int>(value));
        percentTarget = &scratchPercent;
    }

    void readFloatPercentage() {
        const float value = f32();
        if (failed)
            return;
        *percentTarget = percentFromFloat(value);
        std::printf("\tFLOAT_PERCENTAGE: %.2f -> %i\n", value, static_cast<int>(*percentTarget));
        percentTarget = &scratchPercent;
    }

    // ---- Bounded reads: every field must lie inside the current chunk

    bool has(std::uint64_t count, std::uint64_t size, const char* what) {
        if (!failed && count * size > current.end - in.getPosition())
            fail("chunk %04X at offset %u: %llu %s run past the end of the %s", current.id, current.offset,
                 static_cast<unsigned long long>(count), what,
                 current.overruns() ? limitName(current.end) : "chunk");
        return !failed;
    }

    unsigned u16() { return has(1, 2, "bytes") ? in.readUInt16() : 0; }
    float f32() { return has(1, 4, "bytes") ? in.readFloat() : 0.0f; }

    std::string cstr() {
        if (failed)
            return std::string();
        const unsigned available = current.end - in.getPosition();
        if (!std::memchr(in.readFile() + in.getPosition(), '\0', available)) {
            fail("chunk %04X at offset %u: a name runs past the end of the %s", current.id, current.offset,
                 current.overruns() ? limitName(current.end) : "chunk");
            return std::string();
        }
        return in.readCStr();
    }

    template <typename... Values>
    void printIfRead(const char* format, Values... values) {
        if (!failed)
            std::printf(format, values...);
    }

    // Ends the import: the caller drops everything this file added.
    bool fail(const char* format, ...) __attribute__((format(printfFormat, 2, 3))) {
        if (failed)
            return false;
        char reason[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(reason, sizeof reason, format, arguments);
        va_end(arguments);
        std::fflush(stdout);
        std::fprintf(stderr, "tarnix: %s: %s; the model is damaged and was not imported\n", name.c_str(), reason);
        failed = true;
        return false;
    }

    FileIO& in;
    const std::string& name;
    std::vector<CObjectModel>& models;
    std::vector<CObjectMaterial>& materials;
    float& masterScale;

    std::vector<OpenChunk> enclosing;  // the chunks entered, innermost last
    OpenChunk current;                 // the chunk being read
    bool failed = false;

    CObjectModel model;
    CObjectMaterial material;
    bool firstModel = true;
    bool firstMaterial = true;
    float scratchColour[3] = {};
    std::uint16_t scratchPercent = 0;
    float* colourTarget = scratchColour;
    std::uint16_t* percentTarget = &scratchPercent;
    std::map<std::string, int> materialIndex;  // material name -> its index in `materials`
};

}  // namespace

// ---- CObject ----

MeshObject* CObject::loadModel(const std::string& name) {
    FileIO file;
    if (!file.open(tarnix::init.getDataPath(name.c_str()), std::ios::in | std::ios::binary)) {
        std::fprintf(stderr, "Failed to load file %s\n", name.c_str());
        return nullptr;
    }
    const std::size_t modelsBefore = models.size();
    const std::size_t materialsBefore = materials.size();
    const float scaleBefore = masterScale;
    ImportPass pass(file, name, models, materials, masterScale);
    const bool whole = pass.readChunks();
    file.close();
    std::fflush(stdout);
    if (!whole) {
        // A damaged file leaves no trace: the next file imported by this
        // importer gets exactly the lists it would have had without it.
        models.resize(modelsBefore);
        materials.resize(materialsBefore);
        masterScale = scaleBefore;
        return nullptr;
    }
    pass.finish();
    return display(name);
}

namespace {

template <typename T, typename List>
T* elementOrNull(T* array, const List& list, long index) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size() ? &array[index] : nullptr;
}

void copyColour(const float (&from)[3], float (&to)[3]) { std::copy(from, from + 3, to); }

}  // namespace

MeshObject* CObject::display(const std::string& name) {
    auto* mesh = new MeshObject;
    mesh->setName(name);
    mesh->setObjectSize(static_cast<unsigned>(models.size()));
    mesh->setMaterialSize(static_cast<unsigned>(materials.size()));
    for (unsigned i = 0; i < materials.size(); ++i) {
        MeshMaterial& to = mesh->getMaterial(i);
        const CObjectMaterial& from = materials[i];
        to.name = from.name;
        to.textureName = from.bitmapName;
        copyColour(from.ambient, to.ambient);
        copyColour(from.diffuse, to.diffuse);
        copyColour(from.specular, to.specular);
        to.shininess = from.shininess;
        to.opacity = from.opacity;
    }
    MeshMaterial* meshMaterials = materials.empty() ? nullptr : &mesh->getMaterial(0);
    for (unsigned i = 0; i < models.size(); ++i) {
        const CObjectModel& model = models[i];
        MeshSubObject& sub = mesh->getObject(i);
        if (model.name)
            sub.name = *model.name;
        sub.setFaceTriangleSize(static_cast<unsigned>(model.faces.size()));
        sub.setVertexSize(static_cast<unsigned>(model.vertices.size()));
        sub.setTexCoordSize(static_cast<unsigned>(model.texVerts.size()));
        std::copy(model.vertices.begin(), model.vertices.end(), sub.getVertices());
        for (std::size_t t = 0; t < model.texVerts.size(); ++t)
            sub.getTexCoords()[t] = {model.texVerts[t].u, model.texVerts[t].v};
        // Indices that point past a list leave the reference null; a face no
        // material group covers has no material.
        for (std::size_t g = 0; g < model.faces.size(); ++g) {
            MeshFaceTriangle& triangle = sub.getFaceTriangles()[g];
            if (g < model.faceMaterials.size())
                triangle.material = elementOrNull(meshMaterials, materials, model.faceMaterials[g]);
            const std::uint16_t corners[3] = {model.faces[g].a, model.faces[g].b, model.faces[g].c};
            for (int k = 0; k < 3; ++k) {
                triangle.points[k].vertex = elementOrNull(sub.getVertices(), model.vertices, corners[k]);
                triangle.points[k].texCoord = elementOrNull(sub.getTexCoords(), model.texVerts, corners[k]);
            }
        }
    }
    return mesh;
}

const std::vector<CObjectModel>& CObject::getModels() const { return models; }

const std::vector<CObjectMaterial>& CObject::getMaterials() const { return materials; }

float CObject::getMasterScale() const { return masterScale; }
