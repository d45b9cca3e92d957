#include "engine/core/Init.h"

#include "engine/io/FileIO.h"
#include "support/PackBytes.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <vector>

using namespace testsupport;

namespace {

class RegistryTest : public testing::Test {
protected:
    void TearDown() override { tarnix::init.forgetDataFiles(); }

    std::vector<std::string> registered() {
        std::vector<std::string> names;
        for (unsigned i = 0; i < tarnix::init.getFileListSize(); ++i)
            names.push_back(tarnix::init.getDataFile(i));
        return names;
    }

    WorkingDirectory directory;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(RegistryTest, LooseFilesAreRegisteredInByteOrderWithoutPackEntries) {
    for (const char* name : {"b.png", "a.ogg", "B.PNG", "dataset.png", "mixed.Png", "_x", "ab"})
        writeFile(std::string("data/") + name, "x");
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(registered(), Names({"B.PNG", "_x", "a.ogg", "ab", "b.png", "dataset.png", "mixed.Png"}));
    EXPECT_EQ(tarnix::init.getDataPackDataFile("b.png"), nullptr);
    EXPECT_EQ(tarnix::init.getDataFile(7), "");
}

TEST_F(RegistryTest, APackAloneRegistersItsEntriesInPackOrder) {
    writeFile("data/datafile.dat", packBytes({{"z.png", "zz"}, {"a.dvm", "aa"}}));
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(registered(), Names({"z.png", "a.dvm"}));
    const tarnix::DataFile* entry = tarnix::init.getDataPackDataFile("a.dvm");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->size, 2u);
    EXPECT_EQ(tarnix::init.getDataPackDataFile("A.dvm"), nullptr);
}

TEST_F(RegistryTest, PackAndLooseCopiesAreBothRegisteredAndServedFromThePack) {
    writeFile("data/datafile.dat", packBytes({{"pic.png", "packed"}}));
    writeFile("data/pic.png", "loose");
    writeFile("data/a.txt", "a");
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(registered(), Names({"a.txt", "pic.png", "pic.png"}));
    tarnix::FileIO stream("pic.png");
    EXPECT_TRUE(stream.isFromPack());
    EXPECT_EQ(stream.getLength(), 6u);
}

TEST_F(RegistryTest, SubdirectoriesAndOtherDatFilesAreRegisteredByName) {
    writeFile("data/shaders/a.vert", "v");
    writeFile("data/level.dat", "not a pack");
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(registered(), Names({"level.dat", "shaders"}));
}

TEST_F(RegistryTest, RelistingReplacesTheNamesButKeepsLoadedPacks) {
    writeFile("data/datafile.dat", packBytes({{"kept.png", "k"}}));
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    const tarnix::DataFile* entry = tarnix::init.getDataPackDataFile("kept.png");
    std::remove("data/datafile.dat");
    writeFile("data/new.png", "n");
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(registered(), Names({"new.png"}));
    EXPECT_EQ(tarnix::init.getDataPackDataFile("kept.png"), entry);
}

TEST_F(RegistryTest, ADamagedPackIsReportedAndItsCompleteEntriesUsed) {
    const std::string whole = packBytes({{"good.png", "g"}, {"cut.png", "cccc"}});
    writeFile("data/datafile.dat", whole.substr(0, whole.size() - 2));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tarnix: data/datafile.dat: damaged data pack, 1 entries read before the damage are used\n");
    EXPECT_EQ(registered(), Names({"good.png"}));
}

TEST_F(RegistryTest, AMissingDataDirectoryRegistersNothingAndSaysSo) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tarnix: data/: cannot list the directory: No such file or directory\n");
    EXPECT_EQ(tarnix::init.getFileListSize(), 0u);
}

TEST_F(RegistryTest, PathsOnlyJoinText) {
    EXPECT_EQ(tarnix::init.getDataPath("greeble.dvm"), "data/greeble.dvm");
    EXPECT_EQ(tarnix::init.getDataPath("/abs"), "data//abs");
    EXPECT_EQ(tarnix::init.getShaderPath("blur.frag"), "data/shaders/blur.frag");
    EXPECT_EQ(tarnix::init.getFullPath("datafile.dat"), "datafile.dat");
}
