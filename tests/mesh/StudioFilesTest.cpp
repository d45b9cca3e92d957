// 3D Studio files written by a real 3DS writer (assimp), imported and converted,
// with the counts compared against what the reference library lib3ds reads.

#include "engine/core/Init.h"
#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"
#include "support/StudioModels.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

using namespace testsupport;

namespace {

std::vector<StudioObjectCounts> countsOf(MeshObject& mesh) {
    std::vector<StudioObjectCounts> counts;
    for (unsigned o = 0; o < mesh.getObjectSize(); ++o) {
        const MeshSubObject& sub = mesh.getObject(o);
        if (sub.getVertexSize() == 0 && sub.getFaceTriangleSize() == 0)
            continue;  // the working model the importer always adds at the end
        counts.push_back({sub.name, sub.getVertexSize(), sub.getFaceTriangleSize(), sub.getTexCoordSize()});
    }
    std::sort(counts.begin(), counts.end());
    return counts;
}

class StudioFilesTest : public testing::TestWithParam<int> {
protected:
    void TearDown() override { tarnix::init.forgetDataFiles(); }
    WorkingDirectory directory;
};

}  // namespace

TEST_P(StudioFilesTest, ImportedCountsMatchTheReferenceLibraryAndSurviveConversion) {
    const int objects = GetParam();
    std::filesystem::create_directory("data");
    writeObjModel("data", "model", objects, 12);
    ASSERT_TRUE(convertWithAssimp("data/model.obj", "data/model.3ds")) << "assimp (assimp-utils) is needed";
    const std::vector<StudioObjectCounts> reference = lib3dsObjectCounts("data/model.3ds");
    ASSERT_FALSE(reference.empty()) << "lib3ds could not read the file";

    CObject importer;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::unique_ptr<MeshObject> mesh(importer.loadModel("model.3ds"));
    const std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(err, "");
    EXPECT_EQ(countsOf(*mesh), reference);
    EXPECT_EQ(mesh->getMaterialSize(), 3u);  // assimp's default material and the two of the model

    for (unsigned o = 0; o < mesh->getObjectSize(); ++o) {
        const MeshSubObject& sub = mesh->getObject(o);
        for (unsigned t = 0; t < sub.getFaceTriangleSize(); ++t) {
            const MeshFaceTriangle& triangle = sub.getFaceTriangles()[t];
            ASSERT_NE(triangle.material, nullptr);
            EXPECT_NE(triangle.material->textureName, "");
            for (const MeshFacePoint& corner : triangle.points) {
                ASSERT_NE(corner.vertex, nullptr);
                ASSERT_NE(corner.texCoord, nullptr);
            }
        }
    }

    mesh->calculateNormals();
    ASSERT_TRUE(mesh->writeFile("model.dvm"));
    MeshObject readBack;
    ASSERT_TRUE(readBack.readFile("model.dvm"));
    EXPECT_EQ(countsOf(readBack), reference);
}

INSTANTIATE_TEST_SUITE_P(Objects, StudioFilesTest, testing::Values(1, 3, 6));
