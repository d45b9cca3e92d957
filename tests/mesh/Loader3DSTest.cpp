#include "engine/mesh/Loader3DS.h"

#include "engine/core/Init.h"
#include "engine/mesh/MeshObject.h"
#include "support/StudioBytes.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>

using namespace testsupport;

namespace {

// One object, four vertices, two faces, no materials or texture coordinates.
std::string quadFile() {
    return studioFile(namedObject("quad", pointArray({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}) +
                                              faceArray({0, 1, 2, 0, 2, 3})));
}

struct Import {
    std::unique_ptr<MeshObject> mesh;
    std::string out;
    std::string err;
};

class Loader3DSTest : public testing::Test {
protected:
    Import import(const std::string& name, const std::string& bytes) {
        writeFile("data/" + name, bytes);
        return importExisting(name);
    }

    Import importExisting(const std::string& name) {
        Import result;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        result.mesh.reset(importer.loadModel(name));
        result.err = testing::internal::GetCapturedStderr();
        result.out = testing::internal::GetCapturedStdout();
        return result;
    }

    WorkingDirectory directory;
    CObject importer;
};

}  // namespace

TEST_F(Loader3DSTest, OneObjectGivesOneSubObjectAndTheWorkingMaterial) {
    const Import result = import("quad.3ds", quadFile());
    ASSERT_NE(result.mesh, nullptr);
    EXPECT_EQ(result.out, "Not Handled ID: 2 (a)\nModel Name: quad\n4110 POINT_ARRAY chunk_sub_elements: 4\n"
                          "4120 FACE_ARRAY chunk_sub_elements: 2\n");
    EXPECT_EQ(result.err, "");
    MeshObject& mesh = *result.mesh;
    EXPECT_EQ(mesh.getName(), "quad.3ds");
    ASSERT_EQ(mesh.getObjectSize(), 1u);
    ASSERT_EQ(mesh.getMaterialSize(), 1u);
    EXPECT_EQ(mesh.getMaterial(0).name, "");
    EXPECT_EQ(mesh.getMaterial(0).diffuse[0], 0.0f);
    EXPECT_EQ(mesh.getMaterial(0).opacity, 1.0f);

    MeshSubObject& sub = mesh.getObject(0);
    EXPECT_EQ(sub.name, "quad");
    EXPECT_EQ(sub.getVertexSize(), 4u);
    EXPECT_FALSE(sub.hasTexCoord());
    ASSERT_EQ(sub.getFaceTriangleSize(), 2u);
    const MeshFaceTriangle& second = sub.getFaceTriangles()[1];
    EXPECT_EQ(second.points[0].vertex, &sub.getVertices()[0]);
    EXPECT_EQ(second.points[1].vertex, &sub.getVertices()[2]);
    EXPECT_EQ(second.points[2].vertex, &sub.getVertices()[3]);
    EXPECT_TRUE(*second.points[1].vertex == tarnix::Vector(1, 1, 0));
    EXPECT_EQ(second.points[0].texCoord, nullptr);
    EXPECT_EQ(second.material, nullptr);  // no material group covers it
    EXPECT_FALSE(second.normal);          // normals are the caller's step
}

TEST_F(Loader3DSTest, MaterialsTakeColoursAndPercentagesWithTheirConversions) {
    const std::string material =
        chunk(0xAFFF, chunk(0xA000, cstring("paint")) +
                          chunk(0xA010, chunk(0x0011, std::string("\xFF\x80\x00", 3))) +
                          chunk(0xA020, chunk(0x0010, f32le(0.25f) + f32le(0.5f) + f32le(0.75f)) +
                                            chunk(0x0012, std::string("\x00\x00\xFF", 3))) +
                          chunk(0xA040, chunk(0x0030, u16le(5000))) +
                          chunk(0xA050, chunk(0x0030, u16le(30))) +
                          chunk(0x0031, f32le(0.9f)) +  // no target: read and dropped
                          chunk(0xA200, chunk(0xA300, cstring("wood.png"))));
    const std::string second = chunk(0xAFFF, chunk(0xA000, cstring("shiny")) + chunk(0xA040, chunk(0x0031, f32le(0.257f))) +
                                                  chunk(0xA040, chunk(0x0030, u16le(1000))));
    const Import result = import("paint.3ds", studioFile(material + second));
    ASSERT_NE(result.mesh, nullptr);
    EXPECT_NE(result.out.find("Material Name: paint\n\tMAT_AMBIENT -> \tCOLOR_24: 1.00 0.50 0.00\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("\tMAT_DIFFUSE -> \tCOLOR_F: 0.25 0.50 0.75\n\tLIN_COLOR_24: 0.00 0.00 1.00\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("\tMAT_SHININESS -> \tINT_PERCENTAGE: 50\n"), std::string::npos);
    EXPECT_NE(result.out.find("\tFLOAT_PERCENTAGE: 0.90 -> 90\n"), std::string::npos);
    EXPECT_NE(result.out.find("\tBitmap Name: wood.png\n"), std::string::npos);
    EXPECT_NE(result.out.find("\tMAT_SHININESS -> \tFLOAT_PERCENTAGE: 0.26 -> 25\n"), std::string::npos);

    MeshObject& mesh = *result.mesh;
    ASSERT_EQ(mesh.getMaterialSize(), 2u);
    const MeshMaterial& paint = mesh.getMaterial(0);
    EXPECT_EQ(paint.name, "paint");
    EXPECT_EQ(paint.textureName, "wood.png");
    EXPECT_FLOAT_EQ(paint.ambient[1], 128 / 255.0f);
    EXPECT_EQ(paint.diffuse[0], 0.0f);  // the later LIN_COLOR_24 wins
    EXPECT_EQ(paint.diffuse[2], 1.0f);
    EXPECT_EQ(paint.shininess, 50u);
    EXPECT_FLOAT_EQ(paint.opacity, 0.7f);
    const MeshMaterial& shiny = mesh.getMaterial(1);
    EXPECT_EQ(shiny.shininess, 1000u);
    EXPECT_EQ(shiny.textureName, "wood.png");  // carried over: the working material is not cleared
    EXPECT_FLOAT_EQ(shiny.opacity, 0.7f);
}

TEST_F(Loader3DSTest, MaterialGroupsAssignFacesAndFillGaps) {
    const std::string materials =
        chunk(0xAFFF, chunk(0xA000, cstring("red"))) + chunk(0xAFFF, chunk(0xA000, cstring("blue")));
    std::vector<std::uint16_t> faces;
    for (int i = 0; i < 7; ++i)
        faces.insert(faces.end(), {0, 1, 2});
    const std::string object = namedObject(
        "strip", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) +
                     faceArray(faces, materialGroup("blue", {5}) + materialGroup("red", {1}) +
                                          materialGroup("unknown", {6}) + materialGroup("red", {7, 65535})));
    const Import result = import("groups.3ds", studioFile(materials + object));
    ASSERT_NE(result.mesh, nullptr);
    EXPECT_NE(result.out.find("\tUse Material Name: blue\n"), std::string::npos);
    MeshObject& mesh = *result.mesh;
    ASSERT_EQ(mesh.getMaterialSize(), 2u);
    const MeshFaceTriangle* triangles = mesh.getObject(0).getFaceTriangles();
    MeshMaterial* red = &mesh.getMaterial(0);
    MeshMaterial* blue = &mesh.getMaterial(1);
    // Face 5 grew the list to six entries, all blue; face 1 then became red.
    EXPECT_EQ(triangles[0].material, blue);
    EXPECT_EQ(triangles[1].material, red);
    EXPECT_EQ(triangles[4].material, blue);
    EXPECT_EQ(triangles[5].material, blue);
    EXPECT_EQ(triangles[6].material, red);  // an unknown name is material 0
    // Faces the model does not have are ignored: the list never outgrows it.
    ASSERT_EQ(importer.getModels().back().faceMaterials.size(), 7u);
}

TEST_F(Loader3DSTest, TextureCoordinatesFollowTheVertexIndices) {
    const Import result = import("tex.3ds", studioFile(namedObject(
                                                 "t", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) +
                                                          texVerts({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}) +
                                                          faceArray({2, 1, 0}))));
    MeshSubObject& sub = result.mesh->getObject(0);
    ASSERT_TRUE(sub.hasTexCoord());
    EXPECT_EQ(sub.getTexCoordSize(), 3u);
    const MeshFaceTriangle& triangle = sub.getFaceTriangles()[0];
    EXPECT_EQ(triangle.points[0].texCoord, &sub.getTexCoords()[2]);
    EXPECT_EQ(triangle.points[0].texCoord->u, 0.5f);
    EXPECT_EQ(triangle.points[2].texCoord->v, 0.2f);
}

TEST_F(Loader3DSTest, OneImporterKeepsEveryFileItRead) {
    writeFile("data/quad.3ds", quadFile());
    const Import first = importExisting("quad.3ds");
    const Import second = importExisting("quad.3ds");
    EXPECT_EQ(first.mesh->getObjectSize(), 1u);
    EXPECT_EQ(second.mesh->getObjectSize(), 2u);
    EXPECT_EQ(second.mesh->getMaterialSize(), 2u);
    EXPECT_EQ(second.mesh->getObject(1).name, "quad");
}

TEST_F(Loader3DSTest, MasterScaleAndUnknownChunksAreTraced) {
    const Import result = import("scale.3ds", studioFile(chunk(0x0100, f32le(2.5f)) + chunk(0x4600, "light data")));
    EXPECT_NE(result.out.find("MASTER_SCALE: 2.50\n"), std::string::npos);
    EXPECT_NE(result.out.find("Not Handled ID: 4600 (10)\n"), std::string::npos);
    EXPECT_EQ(importer.getMasterScale(), 2.5f);
}

TEST_F(Loader3DSTest, AMissingFileIsReportedAndChangesNothing) {
    const Import result = importExisting("absent.3ds");
    EXPECT_EQ(result.mesh, nullptr);
    EXPECT_EQ(result.err, "Failed to load file absent.3ds\n");
    EXPECT_TRUE(importer.getModels().empty());
}

TEST_F(Loader3DSTest, IndicesPointingNowhereLeaveNullReferences) {
    const Import result = import("bad.3ds", studioFile(chunk(0xAFFF, chunk(0xA000, cstring("only"))) +
                                                       namedObject("o", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) +
                                                                            texVerts({0, 0}) +
                                                                            faceArray({0, 1, 9, 0, 1, 2}))));
    const MeshSubObject& sub = result.mesh->getObject(0);
    const MeshFaceTriangle* triangles = sub.getFaceTriangles();
    EXPECT_NE(triangles[0].points[1].vertex, nullptr);
    EXPECT_EQ(triangles[0].points[2].vertex, nullptr);     // vertex 9 of 3
    EXPECT_NE(triangles[0].points[0].texCoord, nullptr);
    EXPECT_EQ(triangles[0].points[1].texCoord, nullptr);   // one texture coordinate only
}

TEST_F(Loader3DSTest, DamageThatLosesDataFailsTheImportAndLeavesNoTrace) {
    const std::string good = namedObject("first", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) + faceArray({0, 1, 2}));
    const std::size_t at = 22 + good.size();  // the chunk after `good`: behind main, version and editor headers
    auto offset = [at](std::size_t plus) { return " at offset " + std::to_string(at + plus); };
    const struct {
        const char* what;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"short chunk", studioFile(good + u16le(0x4000) + u32le(3) + "xyz"),
         "chunk 4000" + offset(0) + " has a length of 3 bytes"},
        {"group past its parent", studioFile(good + chunk(0x4000, cstring("b") + u16le(0x4100) + u32le(500)) + good),
         "chunk 4100" + offset(8) + " claims 500 bytes, 494 more than the chunk around it holds"},
        {"skipped chunk past its parent",
         studioFile(good + chunk(0x4000, cstring("b") + u16le(0x4600) + u32le(40)) + good),
         "chunk 4600" + offset(8) + " claims 40 bytes"},
        {"count past its chunk", studioFile(good + namedObject("b", chunk(0x4110, u16le(60000) + f32le(1)))),
         "chunk 4110" + offset(14) + ": 60000 vertices run past the end of the chunk"},
        {"texture coordinates past their chunk",  // 8 bytes each: 5 need 40
         studioFile(good + namedObject("b", chunk(0x4140, u16le(5) + std::string(24, '\0')))),
         "chunk 4140" + offset(14) + ": 5 texture coordinates run past the end of the chunk"},
        {"name without end", studioFile(good + chunk(0x4000, "no terminator")), "chunk 4000" + offset(0) + ": a name"},
        {"bitmap name no file can have",
         studioFile(chunk(0xAFFF, chunk(0xA000, cstring("m")) + chunk(0xA200, chunk(0xA300, cstring(std::string(256, 'x'))))) +
                    good),
         "names a bitmap of 256 bytes; a file name has at most 255"},
    };
    writeFile("data/good.3ds", quadFile());
    for (const auto& hostile : cases) {
        CObject importer;
        std::unique_ptr<MeshObject> before(importer.loadModel("good.3ds"));
        const Import result = import("hostile.3ds", hostile.bytes);
        EXPECT_EQ(result.mesh, nullptr) << hostile.what;
        EXPECT_EQ(result.err.rfind("tarnix: hostile.3ds: ", 0), 0u) << hostile.what << ": " << result.err;
        EXPECT_NE(result.err.find(hostile.reason), std::string::npos) << hostile.what << ": " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        // Nothing of the damaged file stays in the importer's lists.
        EXPECT_EQ(importer.getModels().size(), 1u) << hostile.what;
        EXPECT_EQ(importer.getMaterials().size(), 1u) << hostile.what;
    }
}

// Cut at every byte, a file either imports to exactly the whole file's mesh
// (the cut lies in the trailing chunk the importer skips: one warning) or
// fails with one line.
TEST_F(Loader3DSTest, AFileCutAtAnyByteImportsWholeOrNotAtAll) {
    const std::string editor =
        chunk(0xAFFF, chunk(0xA000, cstring("m")) + chunk(0xA010, chunk(0x0011, "abc"))) +
        namedObject("o", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) + texVerts({0, 0, 1, 0, 0, 1}) +
                             faceArray({0, 1, 2}, materialGroup("m", {0})));
    const std::string keyframer = chunk(0xB000, chunk(0xB00A, std::string(20, 'k')));
    const std::string whole = chunk(0x4D4D, chunk(0x3D3D, editor) + keyframer);
    const std::size_t keyframerStart = whole.size() - keyframer.size();
    writeFile("data/whole.3ds", whole);
    CObject reference;
    testing::internal::CaptureStdout();
    std::unique_ptr<MeshObject> expected(reference.loadModel("whole.3ds"));
    testing::internal::GetCapturedStdout();
    ASSERT_NE(expected, nullptr);
    for (std::size_t length = 1; length < whole.size(); ++length) {
        importer = CObject();
        const Import result = import("whole.3ds", whole.substr(0, length));
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "cut at " << length << ": " << result.err;
        if (length < keyframerStart + 6) {  // not even the skipped chunk's header is whole
            EXPECT_EQ(result.mesh, nullptr) << "cut at " << length;
            continue;
        }
        ASSERT_NE(result.mesh, nullptr) << "cut at " << length << ": " << result.err;
        EXPECT_NE(result.err.find("warning: chunk B000 at offset " + std::to_string(keyframerStart)), std::string::npos)
            << result.err;
        MeshObject& mesh = *result.mesh;
        ASSERT_EQ(mesh.getObjectSize(), expected->getObjectSize());
        ASSERT_EQ(mesh.getMaterialSize(), expected->getMaterialSize());
        const MeshSubObject& sub = mesh.getObject(0);
        ASSERT_EQ(sub.getFaceTriangleSize(), 1u);
        EXPECT_EQ(sub.getFaceTriangles()[0].material, &mesh.getMaterial(0));
        EXPECT_TRUE(*sub.getFaceTriangles()[0].points[1].vertex == tarnix::Vector(1, 0, 0));
        EXPECT_EQ(sub.getFaceTriangles()[0].points[2].texCoord->v, 1.0f);
    }
}

// A skipped chunk of 2 GiB and more is passed with an unsigned seek: its
// length never turns negative and restarts the walk.
// ctest labels: once
TEST_F(Loader3DSTest, AChunkOfTwoGibibytesIsSkippedWhole) {
    const std::string model = chunk(0x3D3D, namedObject("o", pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) + faceArray({0, 1, 2})));
    const std::uint32_t hugeLength = 0x80000010u;
    const std::uint64_t fileLength = 6 + model.size() + hugeLength;
    const std::string head = u16le(0x4D4D) + u32le(static_cast<std::uint32_t>(fileLength)) + model + u16le(0xB000) +
                             u32le(hugeLength);
    writeFile("data/huge.3ds", head);
    ASSERT_EQ(truncate("data/huge.3ds", static_cast<off_t>(fileLength)), 0);  // sparse: no disk space used
    const Import result = importExisting("huge.3ds");
    ASSERT_NE(result.mesh, nullptr) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("Not Handled ID: b000 (80000010)\n"), std::string::npos);
    ASSERT_EQ(result.mesh->getObjectSize(), 1u);
    EXPECT_EQ(result.mesh->getObject(0).getFaceTriangleSize(), 1u);
}
