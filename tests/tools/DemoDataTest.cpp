#include "tools/datagen/DemoData.h"
#include "tools/datagen/Music.h"
#include "tools/datagen/Pictures.h"
#include "tools/datagen/StudioMesh.h"

#include "engine/core/Init.h"
#include "engine/mesh/Loader3DS.h"
#include "engine/mesh/MeshObject.h"
#include "support/TemporaryDirectory.h"

#include <vorbis/vorbisfile.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

using namespace testsupport;

// ctest labels: once
TEST(DemoDataTest, TwoRunsWriteTheSameBytes) {
    WorkingDirectory directory;
    std::filesystem::create_directories("first");
    std::filesystem::create_directories("second");
    std::string error;
    ASSERT_TRUE(datagen::writeDemoData("first", error)) << error;
    ASSERT_TRUE(datagen::writeDemoData("second", error)) << error;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator("first")) {
        const std::string name = entry.path().filename().string();
        const std::string bytes = fileContent("first/" + name);
        EXPECT_EQ(bytes, fileContent("second/" + name)) << name;
        ++files;
        if (name.size() > 4 && name.substr(name.size() - 4) == ".png") {
            // Sides the loader takes as they are: powers of two (width and
            // height are big-endian at bytes 16 and 20 of the header chunk).
            ASSERT_GE(bytes.size(), 24u) << name;
            auto side = [&bytes](int at) {
                return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
                       static_cast<unsigned char>(bytes[at + 1]) << 16 | static_cast<unsigned char>(bytes[at + 2]) << 8 |
                       static_cast<unsigned char>(bytes[at + 3]);
            };
            for (std::uint32_t length : {side(16), side(20)})
                EXPECT_TRUE(length > 0 && (length & (length - 1)) == 0) << name << ": " << length;
        }
    }
    EXPECT_EQ(files, 24);  // 21 pictures, the mesh, the music and the text
}

TEST(DemoDataTest, TheMeshImportsWithExactly8592TrianglesInOneObject) {
    WorkingDirectory directory;
    writeFile("data/greeble.3ds", datagen::studioFile(datagen::greebleHead()));
    CObject importer;
    testing::internal::CaptureStdout();
    std::unique_ptr<MeshObject> mesh(importer.loadModel("greeble.3ds"));
    testing::internal::GetCapturedStdout();
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getObjectSize(), 1u);
    EXPECT_EQ(mesh->getObject(0).getFaceTriangleSize(), 8592u);
    for (unsigned t = 0; t < 8592; ++t)
        for (const MeshFacePoint& corner : mesh->getObject(0).getFaceTriangles()[t].points)
            ASSERT_NE(corner.vertex, nullptr) << t;
}

TEST(DemoDataTest, TheFontSheetHasAGlyphInEveryPrintableCell) {
    std::string error;
    const datagen::Picture sheet = datagen::fontSheet(512, error);
    ASSERT_EQ(sheet.width, 512) << error;
    int cellsWithInk = 0;
    for (int code = 32; code < 132; ++code) {
        const int column = (code - 32) % 10, row = (code - 32) / 10;
        int ink = 0;
        for (int y = row * 512 / 10; y < (row + 1) * 512 / 10; ++y)
            for (int x = column * 512 / 10; x < (column + 1) * 512 / 10; ++x)
                ink += (sheet.pixels[static_cast<std::size_t>(y) * 512 + x] >> 24) > 128;
        const bool printable = code > 32 && code < 127;
        EXPECT_EQ(ink > 0, printable) << "code " << code;
        cellsWithInk += ink > 0;
    }
    EXPECT_EQ(cellsWithInk, 94);
}

TEST(DemoDataTest, TheMusicIsOverAMinuteLongAndNotSilent) {
    const std::string ogg = datagen::encodeOgg(datagen::composeDemoMusic(), 0.4f);
    WorkingDirectory directory;
    writeFile("music.ogg", ogg);
    OggVorbis_File file;
    ASSERT_EQ(ov_fopen("music.ogg", &file), 0);
    const double seconds = ov_time_total(&file, -1);
    EXPECT_GT(seconds, 60.0);
    EXPECT_LT(seconds, 70.0);
    double energy = 0;
    long samples = 0;
    char buffer[8192];
    int section = 0;
    long got = 0;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
        for (long i = 0; i + 1 < got; i += 2) {
            const auto low = static_cast<unsigned char>(buffer[i]), high = static_cast<unsigned char>(buffer[i + 1]);
            const auto sample = static_cast<short>(low | (high << 8));
            energy += double(sample) * sample;
            ++samples;
        }
    ov_clear(&file);
    EXPECT_GT(std::sqrt(energy / samples), 1000.0);  // a loud enough mix, 16-bit scale
}

TEST(DemoDataTest, TheScrollerTextUsesTheFontsCharactersOnly) {
    for (char c : datagen::scrollerText()) {
        const int code = static_cast<unsigned char>(c);
        EXPECT_TRUE(code >= 32 && code <= 131) << code;
    }
}
