#include "engine/mesh/MeshObject.h"

#include "engine/core/Init.h"
#include "engine/mesh/MeshManager.h"
#include "support/StudioBytes.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

using namespace testsupport;
using tarnix::Vector;

namespace {

const std::string onesColour = f32le(1) + f32le(1) + f32le(1);

// The mesh "cube": one material "m" with default values and no sub-objects.
const std::string cubeFile = std::string("\xA0\x01", 2) + cstring("cube") + std::string("\xA1", 1) + u32le(0) +
                             u16le(1) + cstring("m") + cstring("") + "\x03" + "\x01" + onesColour + "\x02" +
                             onesColour + "\x03" + onesColour + u32le(0) + f32le(0) + "\xA2" + u32le(0) + u16le(0);

// Two sub-objects (one with texture coordinates) and two materials.
void buildSample(MeshObject& mesh) {
    mesh.setName("sample");
    mesh.setMaterialSize(2);
    mesh.getMaterial(0).name = "matte";
    mesh.getMaterial(1).name = "gloss";
    mesh.getMaterial(1).textureName = "gloss.png";
    mesh.getMaterial(1).diffuse[1] = 0.25f;
    mesh.getMaterial(1).shininess = 70;
    mesh.getMaterial(1).opacity = 0.5f;
    mesh.setObjectSize(2);
    MeshSubObject& plain = mesh.getObject(0);
    plain.name = "plain";
    plain.origin = Vector(1, 2, 3);
    plain.setVertexSize(3);
    plain.getVertices()[1] = Vector(1, 0, 0);
    plain.getVertices()[2] = Vector(0, 1, 0);
    plain.setFaceTriangleSize(1);
    plain.getFaceTriangles()[0].material = &mesh.getMaterial(1);
    for (int k = 0; k < 3; ++k)
        plain.getFaceTriangles()[0].points[k].vertex = &plain.getVertices()[2 - k];
    MeshSubObject& textured = mesh.getObject(1);
    textured.setVertexSize(4);
    textured.setTexCoordSize(4);
    for (unsigned i = 0; i < 4; ++i) {
        textured.getVertices()[i] = Vector(float(i), float(i * i), -1);
        textured.getTexCoords()[i] = {0.25f * i, 1 - 0.25f * i};
    }
    textured.setFaceTriangleSize(2);
    for (unsigned t = 0; t < 2; ++t)
        for (unsigned k = 0; k < 3; ++k) {
            textured.getFaceTriangles()[t].points[k].vertex = &textured.getVertices()[t + k];
            textured.getFaceTriangles()[t].points[k].texCoord = &textured.getTexCoords()[3 - t - k];
        }
}

class MeshObjectTest : public testing::Test {
protected:
    void SetUp() override { writeFile("data/.keep", ""); }
    void TearDown() override { tarnix::init.forgetDataFiles(); }

    // Reads data/<name> holding `bytes` into `mesh`, returning what was said.
    std::string readInto(MeshObject& mesh, const std::string& bytes, bool expected) {
        writeFile("data/read.dvm", bytes);
        testing::internal::CaptureStderr();
        EXPECT_EQ(mesh.readFile("read.dvm"), expected);
        return testing::internal::GetCapturedStderr();
    }

    WorkingDirectory directory;
};

}  // namespace

TEST_F(MeshObjectTest, TheCubeAndTheEmptyMeshAreWrittenByteForByte) {
    MeshObject cube;
    cube.setName("cube");
    cube.setMaterialSize(1);
    cube.getMaterial(0).name = "m";
    ASSERT_TRUE(cube.writeFile("cube.dvm"));
    EXPECT_EQ(fileContent("data/cube.dvm"), cubeFile);

    MeshObject empty;
    ASSERT_TRUE(empty.writeFile("empty.dvm"));
    EXPECT_EQ(fileContent("data/empty.dvm"),
              std::string("\xA0\x01\x00\xA1\x00\x00\x00\x00\x00\x00\xA2\x00\x00\x00\x00\x00\x00", 17));
}

TEST_F(MeshObjectTest, AWrittenMeshReadsBackEqual) {
    MeshObject original;
    buildSample(original);
    ASSERT_TRUE(original.writeFile("sample.dvm"));
    MeshObject copy;
    ASSERT_TRUE(copy.readFile("sample.dvm"));

    EXPECT_EQ(copy.getName(), "sample");
    ASSERT_EQ(copy.getMaterialSize(), 2u);
    EXPECT_EQ(copy.getMaterial(1).textureName, "gloss.png");
    EXPECT_EQ(copy.getMaterial(1).diffuse[1], 0.25f);
    EXPECT_EQ(copy.getMaterial(1).ambient[0], 1.0f);
    EXPECT_EQ(copy.getMaterial(1).shininess, 70u);
    EXPECT_EQ(copy.getMaterial(1).opacity, 0.5f);
    ASSERT_EQ(copy.getObjectSize(), 2u);
    const MeshSubObject& plain = copy.getObject(0);
    EXPECT_EQ(plain.name, "plain");
    EXPECT_TRUE(plain.origin == Vector(1, 2, 3));
    EXPECT_FALSE(plain.hasTexCoord());
    const MeshFaceTriangle& triangle = plain.getFaceTriangles()[0];
    EXPECT_EQ(triangle.material, &copy.getMaterial(1));
    EXPECT_EQ(triangle.points[0].vertex, &plain.getVertices()[2]);
    EXPECT_EQ(triangle.points[2].vertex, &plain.getVertices()[0]);
    EXPECT_EQ(triangle.points[1].texCoord, nullptr);

    const MeshSubObject& textured = copy.getObject(1);
    ASSERT_TRUE(textured.hasTexCoord());
    for (unsigned i = 0; i < 4; ++i) {
        EXPECT_TRUE(textured.getVertices()[i] == Vector(float(i), float(i * i), -1));
        EXPECT_EQ(textured.getTexCoords()[i].v, 1 - 0.25f * i);
    }
    EXPECT_EQ(textured.getFaceTriangles()[1].points[2].vertex, &textured.getVertices()[3]);
    EXPECT_EQ(textured.getFaceTriangles()[1].points[0].texCoord, &textured.getTexCoords()[2]);

    // Writing the copy again gives the same bytes.
    ASSERT_TRUE(copy.writeFile("again.dvm"));
    EXPECT_EQ(fileContent("data/again.dvm"), fileContent("data/sample.dvm"));
}

TEST_F(MeshObjectTest, ANullMaterialIsStoredAsTheFirstMaterial) {
    MeshObject mesh;
    buildSample(mesh);
    ASSERT_TRUE(mesh.writeFile("sample.dvm"));
    MeshObject copy;
    ASSERT_TRUE(copy.readFile("sample.dvm"));
    EXPECT_EQ(copy.getObject(1).getFaceTriangles()[0].material, &copy.getMaterial(0));
}

TEST_F(MeshObjectTest, ColourRecordsAreReadByTheirIds) {
    const std::string material = cstring("m") + cstring("") + "\x02" + "\x07" + f32le(9) + f32le(9) + f32le(9) + "\x02" +
                                 f32le(0.5f) + f32le(0.5f) + f32le(0.5f) + u32le(3) + f32le(1);
    const std::string file = std::string("\xA0\x01", 2) + cstring("c") + "\xA1" + u32le(0) + u16le(1) + material +
                             "\xA2" + u32le(0) + u16le(0);
    MeshObject mesh;
    EXPECT_EQ(readInto(mesh, file, true), "");
    EXPECT_EQ(mesh.getMaterial(0).ambient[0], 1.0f);
    EXPECT_EQ(mesh.getMaterial(0).diffuse[2], 0.5f);
    EXPECT_EQ(mesh.getMaterial(0).shininess, 3u);
}

TEST_F(MeshObjectTest, AMissingFileLeavesTheMeshAsItWas) {
    MeshObject mesh;
    mesh.setName("kept");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(mesh.readFile("absent.dvm"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(mesh.getName(), "kept");
}

TEST_F(MeshObjectTest, TheManagerKeepsFailedLoadsInPlaceAndFindsMeshesByName) {
    writeFile("data/cube.dvm", cubeFile);
    writeFile("data/cut.3ds", studioFile(namedObject("o", pointArray({0, 0, 0}))).substr(0, 30));
    tarnix::MeshManager manager;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    manager.loadMeshObject("cut.3ds");
    manager.loadMeshObject("cube.dvm");
    const std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(err.rfind("tarnix: cut.3ds: ", 0), 0u) << err;
    ASSERT_EQ(manager.getMeshCount(), 2u);
    EXPECT_EQ(manager.getMeshObject(0u), nullptr);
    EXPECT_EQ(manager.getMeshObject("cube"), manager.getMeshObject(1u));
    EXPECT_EQ(manager.getMeshObject("cut.3ds"), nullptr);
    EXPECT_EQ(manager.getMeshObject(static_cast<const char*>(nullptr)), nullptr);
}

TEST_F(MeshObjectTest, DamagedFilesAreRejectedAndTheMeshKept) {
    MeshObject sample;
    buildSample(sample);
    ASSERT_TRUE(sample.writeFile("sample.dvm"));
    const std::string whole = fileContent("data/sample.dvm");

    MeshObject mesh;
    mesh.setName("kept");
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const std::string err = readInto(mesh, whole.substr(0, length), false);
        EXPECT_EQ(err.rfind("tarnix: read.dvm: ", 0), 0u) << "cut at " << length << ": " << err;
        EXPECT_EQ(mesh.getName(), "kept");
        EXPECT_EQ(mesh.getObjectSize(), 0u);
    }

    const std::string header = std::string("\xA0\x01", 2) + cstring("h") + "\xA1" + u32le(0);
    const std::string noMaterials = header + u16le(0) + "\xA2" + u32le(0);
    const std::string objectStart = noMaterials + u16le(1) + cstring("o") + f32le(0) + f32le(0) + f32le(0);
    EXPECT_NE(readInto(mesh, header + u16le(65535), false).find("65535 materials do not fit"), std::string::npos);
    EXPECT_NE(readInto(mesh, objectStart + u32le(0x40000000) + std::string(16, '\0'), false)
                  .find("1073741824 vertices do not fit"),
              std::string::npos);
    const std::string oneVertex = objectStart + u32le(1) + f32le(0) + f32le(0) + f32le(0) + u32le(0) + "\x01";
    EXPECT_EQ(readInto(mesh, oneVertex + u32le(1) + u16le(0) + u16le(0) + u16le(0) + u16le(3) + u16le(0) + u16le(0) +
                                 u16le(0),
                       false),
              "tarnix: read.dvm: triangle 0 of sub-object 0 refers to vertex 3 of 1\n");
    EXPECT_EQ(readInto(mesh, oneVertex + u32le(1) + u16le(2) + std::string(12, '\0'), false),
              "tarnix: read.dvm: triangle 0 of sub-object 0 refers to material 2 of 0\n");
    EXPECT_EQ(mesh.getName(), "kept");

    // Index 0 into an empty list is how a missing reference is stored.
    EXPECT_EQ(readInto(mesh, oneVertex + u32le(1) + std::string(14, '\0'), true), "");
    EXPECT_EQ(mesh.getObject(0).getFaceTriangles()[0].material, nullptr);
}

TEST_F(MeshObjectTest, MeshesBeyondTheFormatsLimitsAreRefused) {
    MeshObject wide;
    wide.setObjectSize(1);
    MeshSubObject& sub = wide.getObject(0);
    sub.setVertexSize(70000);
    sub.setFaceTriangleSize(1);
    for (MeshFacePoint& corner : sub.getFaceTriangles()[0].points)
        corner.vertex = &sub.getVertices()[69999];
    testing::internal::CaptureStderr();
    EXPECT_FALSE(wide.writeFile("wide.dvm"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("data/wide.dvm: triangle 0 of sub-object 0 refers to vertex "
                                                          "69999"),
              std::string::npos);
    EXPECT_FALSE(fileExists("data/wide.dvm"));

    MeshObject many;
    many.setMaterialSize(70000);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(many.writeFile("many.dvm"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("70000 materials"), std::string::npos);
}

TEST_F(MeshObjectTest, AnUnwritableFileIsReported) {
    MeshObject mesh;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(mesh.writeFile("no/such/directory.dvm"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tarnix: data/no/such/directory.dvm: cannot write the mesh: No such file or directory\n");
}

TEST_F(MeshObjectTest, OrdersOfForeignOrMissingElementsAreZero) {
    MeshObject mesh;
    buildSample(mesh);
    MeshMaterial stranger;
    Vector loose;
    EXPECT_EQ(mesh.getMaterialOrder(&mesh.getMaterial(1)), 1u);
    EXPECT_EQ(mesh.getMaterialOrder(&stranger), 0u);
    EXPECT_EQ(mesh.getMaterialOrder(nullptr), 0u);
    EXPECT_EQ(mesh.getVertexOrder(1, &mesh.getObject(1).getVertices()[3]), 3u);
    EXPECT_EQ(mesh.getVertexOrder(0, &mesh.getObject(1).getVertices()[3]), 0u);
    EXPECT_EQ(mesh.getVertexOrder(1, &loose), 0u);
    EXPECT_EQ(mesh.getTexCoordOrder(0, &mesh.getObject(1).getTexCoords()[2]), 0u);
    EXPECT_EQ(mesh.getTexCoordOrder(1, &mesh.getObject(1).getTexCoords()[2]), 2u);
}

TEST(MeshNormalsTest, AreFlatRightHandedAndZeroForDegenerateTriangles) {
    EXPECT_TRUE(MeshObject::getNormal(Vector(0, 0, 0), Vector(1, 0, 0), Vector(1, 1, 0)) == Vector(0, 0, 1));
    EXPECT_TRUE(MeshObject::getNormal(Vector(0, 0, 0), Vector(1, 1, 1), Vector(2, 2, 2)) == Vector(0, 0, 0));
    MeshObject mesh;
    buildSample(mesh);
    mesh.getObject(0).getFaceTriangles()[0].points[1].vertex = nullptr;
    mesh.calculateNormals();
    ASSERT_TRUE(mesh.getObject(1).getFaceTriangles()[0].normal);
    EXPECT_FLOAT_EQ(mesh.getObject(1).getFaceTriangles()[0].normal->length(), 1.0f);
    ASSERT_TRUE(mesh.getObject(0).getFaceTriangles()[0].normal);
    EXPECT_TRUE(*mesh.getObject(0).getFaceTriangles()[0].normal == Vector(0, 0, 0));
}
