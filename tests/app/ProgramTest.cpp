// The built program run from outside, as a user runs it. Without a display:
// a run that tried to open its window would fail, so an exit status of 0 shows
// that tool mode never reached SDL.

#include "support/PackBytes.h"
#include "support/Process.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace testsupport;

namespace {

class ProgramTest : public testing::Test {
protected:
    ProcessResult runHeadless(const std::vector<std::string>& arguments, long fileSizeLimit = 0) {
        ProcessOptions options;
        options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
        options.set = {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
        options.fileSizeLimit = fileSizeLimit;
        return runProcess(TARNIX_EXECUTABLE, arguments, options);
    }

    WorkingDirectory directory;
};

long lineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

const std::string emptyPackDump = "Hexdump of datafile.dat\n0x0000 : FA FB 00 00  00 00 FC 00  00 00 00 \n";

}  // namespace

TEST_F(ProgramTest, VersionBeforeAToolSwitchPrintsBannerAndReturnsWithoutWindow) {
    writeFile("data/datafile.dat", packBytes({}));
    const ProcessResult result = runHeadless({"--version", "--hexdumpDataPack"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "Tarnix Engine v3 - test release\n" + emptyPackDump);
}

TEST_F(ProgramTest, CreateDataPackPacksTheDataDirectory) {
    writeFile("data/b.txt", "bee");
    writeFile("data/a.png", std::string("\x89PNG", 4));
    const ProcessResult result = runHeadless({"--createDataPack"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "Creating a datafile from data/ directory\n\tWriting header chunk\n\tWriting script chunk\n"
                          "\tWriting file chunk\n\t\t4 a.png\n\t\t3 b.txt\n");
    EXPECT_EQ(fileContent("data/datafile.dat"), packBytes({{"a.png", std::string("\x89PNG", 4)}, {"b.txt", "bee"}}));
}

TEST_F(ProgramTest, CreateDataPackWithADirectoryThenADumpOfTheResult) {
    writeFile("art/x.txt", "0123456789ABCDEF");
    std::filesystem::create_directory("data");
    const ProcessResult result = runHeadless({"--createDataPack", "art", "--hexdumpDataPack"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.rfind("Creating a datafile from art/ directory\n", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\t\t16 x.txt\nHexdump of datafile.dat\n0x0000 : FA FB 00 00  00 00 FC 01  00 00 00 78  "
                              "2E 74 78 74  \n0x0001 : 00 10 00 00  00 30 31 32"),
              std::string::npos)
        << result.out;
}

TEST_F(ProgramTest, ADashArgumentAfterCreateDataPackIsASwitchAgain) {
    writeFile("data/a.txt", "a");
    const ProcessResult result = runHeadless({"--createDataPack", "--version"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("from data/ directory"), std::string::npos);
    EXPECT_EQ(result.out.substr(result.out.size() - 32), "Tarnix Engine v3 - test release\n");
}

TEST_F(ProgramTest, AReadOnlyDataFileIsPackedWithItsBytes) {
    writeFile("data/locked.txt", "read-only content");
    std::filesystem::permissions("data/locked.txt", std::filesystem::perms::owner_read);
    const ProcessResult result = runHeadless({"--createDataPack"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(fileContent("data/datafile.dat"), packBytes({{"locked.txt", "read-only content"}}));
}

TEST_F(ProgramTest, AFailedWriteKeepsThePreviousPackAndFails) {
    writeFile("data/datafile.dat", packBytes({{"old.txt", "old"}}));
    writeFile("data/big.bin", std::string(64 * 1024, 'b'));
    const ProcessResult result = runHeadless({"--createDataPack"}, 16 * 1024);
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_NE(result.err.find("cannot write the data pack"), std::string::npos) << result.err;
    EXPECT_EQ(fileContent("data/datafile.dat"), packBytes({{"old.txt", "old"}}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("data"), std::filesystem::directory_iterator()), 2);
}

TEST_F(ProgramTest, HexdumpWithoutAPackFailsWithOneLine) {
    const ProcessResult result = runHeadless({"--hexdumpDataPack"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "Hexdump of datafile.dat\n0x0000 : \n");
    EXPECT_EQ(result.err, "tarnix: datafile.dat: cannot open the data pack\n");
}

TEST_F(ProgramTest, ConvertWithNothingToConvertPrintsOnlyItsHeading) {
    const ProcessResult result = runHeadless({"--convert3DtoDVM"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "Exporting 3D Objects to .DVM\n");
}

TEST_F(ProgramTest, MisspelledSwitchIsIgnoredSoTheDemoStartsAndReportsTheMissingDisplay) {
    const ProcessResult result = runHeadless({"--HexdumpDataPack", "--versionX"});
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_EQ(result.err.rfind("tarnix: ", 0), 0u) << result.err;
}
