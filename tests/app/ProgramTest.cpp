// The built program run from outside, as a user runs it. Without a display:
// a run that tried to open its window would fail, so an exit status of 0 shows
// that tool mode never reached SDL.

#include "app/CommandLine.h"
#include "support/PackBytes.h"
#include "support/Process.h"
#include "support/StudioBytes.h"
#include "support/StudioModels.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

struct StudioChunk {
    std::size_t id, start, end;
};

// Every chunk of a 3D Studio file, descending into the chunks that hold others
// (past the name of a named object and the faces of a face list).
void listChunks(const std::string& file, std::size_t from, std::size_t to, std::vector<StudioChunk>& out) {
    auto u16 = [&file](std::size_t at) { return std::size_t(std::uint8_t(file[at])) | std::uint8_t(file[at + 1]) << 8; };
    while (from + 6 <= to) {
        const StudioChunk found{u16(from), from, std::min(to, from + (u16(from + 2) | u16(from + 4) << 16))};
        out.push_back(found);
        std::size_t inner = from + 6;
        if (found.id == 0x4000)
            inner = file.find('\0', inner) + 1;
        if (found.id == 0x4120)
            inner += 2 + 8 * u16(inner);
        for (std::size_t group : {0x4D4Du, 0x3D3Du, 0x4000u, 0x4100u, 0x4120u, 0xAFFFu, 0xB000u})
            if (found.id == group)
                listChunks(file, inner, found.end, out);
        from = found.end;
    }
}

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

// A file the packer may only read is packed, and left as it was. Root may
// write whatever the mode says (CAP_DAC_OVERRIDE), so as root the packer runs
// without that capability: the mode then binds it as it binds a user.
TEST_F(ProgramTest, AReadOnlyDataFileIsPackedWithItsBytes) {
    writeFile("data/locked.txt", "read-only content");
    std::filesystem::permissions("data/locked.txt", std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    struct stat before = {};
    ASSERT_EQ(stat("data/locked.txt", &before), 0);
    std::string program = TARNIX_EXECUTABLE;
    std::vector<std::string> arguments = {"--createDataPack"};
    if (geteuid() == 0) {
        const std::string dropOverride = "--bounding-set=-dac_override";
        ASSERT_NE(runProcess("/usr/bin/setpriv", {dropOverride, "/bin/sh", "-c", ": >>data/locked.txt"}).exitStatus, 0)
            << "setpriv (util-linux) left root able to open the file for writing";
        arguments = {dropOverride, program, "--createDataPack"};
        program = "/usr/bin/setpriv";
    }
    ProcessOptions options;
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
    options.set = {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
    const ProcessResult result = runProcess(program, arguments, options);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(fileContent("data/datafile.dat"), packBytes({{"locked.txt", "read-only content"}}));
    struct stat after = {};
    ASSERT_EQ(stat("data/locked.txt", &after), 0);
    EXPECT_EQ(fileContent("data/locked.txt"), "read-only content");
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
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

TEST_F(ProgramTest, ConvertingTwoFilesThenVersionWritesBothMeshes) {
    const std::string triangle = pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) + faceArray({0, 1, 2});
    writeFile("data/ship.3ds", studioFile(namedObject("hull", triangle)));
    writeFile("data/ab", studioFile(namedObject("rock", triangle)));
    const ProcessResult result = runHeadless({"--convert3DtoDVM", "ship.3ds", "ab", "--version"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.rfind("Exporting 3D Objects to .DVM\n", 0), 0u) << result.out;
    const std::size_t first = result.out.find("\tExporting ship.3ds\n");
    const std::size_t second = result.out.find("\tExporting ab\n");
    EXPECT_NE(first, std::string::npos) << result.out;
    EXPECT_NE(second, std::string::npos) << result.out;
    EXPECT_LT(first, second);
    EXPECT_EQ(result.out.substr(result.out.size() - 32), "Tarnix Engine v3 - test release\n");
    // The second mesh also holds the model of the first file: one importer.
    const std::string shipMesh = fileContent("data/ship.dvm");
    const std::string rockMesh = fileContent("data/ab.dvm");
    EXPECT_NE(shipMesh.find(std::string("hull\0", 5)), std::string::npos);
    EXPECT_EQ(shipMesh.find(std::string("rock\0", 5)), std::string::npos);
    EXPECT_NE(rockMesh.find(std::string("hull\0", 5)), std::string::npos);
    EXPECT_NE(rockMesh.find(std::string("rock\0", 5)), std::string::npos);
}

TEST_F(ProgramTest, AConversionThatFailsIsReportedAndTheNextFileStillConverts) {
    const std::string triangle = pointArray({0, 0, 0, 1, 0, 0, 0, 1, 0}) + faceArray({0, 1, 2});
    writeFile("data/good.3ds", studioFile(namedObject("hull", triangle)));
    std::filesystem::create_directory("data/blocked.dvm");  // a directory where the mesh should go
    writeFile("data/blocked.3ds", studioFile(namedObject("b", triangle)));
    writeFile("data/damaged.3ds", studioFile(namedObject("d", triangle)).substr(0, 40));
    const ProcessResult result =
        runHeadless({"--convert3DtoDVM", "missing.3ds", "blocked.3ds", "damaged.3ds", "good.3ds"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Failed to load file missing.3ds\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("tarnix: damaged.3ds: "), std::string::npos) << result.err;
    EXPECT_FALSE(fileExists("data/damaged.dvm"));
    EXPECT_NE(result.err.find("tarnix: data/blocked.dvm: cannot write the mesh"), std::string::npos) << result.err;
    EXPECT_TRUE(fileExists("data/good.dvm"));
}

// A model written by a real 3DS writer, cut at every chunk boundary: the
// conversion gives the whole model's mesh with status 0 (the cut lies in the
// keyframer section, which the importer skips) or fails with status 1, one
// line, and the mesh converted earlier left byte for byte.
TEST_F(ProgramTest, ACutModelNeverCostsTheGoodMesh) {
    std::filesystem::create_directory("data");
    writeObjModel("data", "model", 2, 3);
    ASSERT_TRUE(convertWithAssimp("data/model.obj", "data/model.3ds")) << "assimp (assimp-utils) is needed";
    const std::string whole = fileContent("data/model.3ds");
    ASSERT_EQ(runHeadless({"--convert3DtoDVM", "model.3ds"}).exitStatus, 0);
    const std::string goodMesh = fileContent("data/model.dvm");
    std::vector<StudioChunk> chunks;
    listChunks(whole, 0, whole.size(), chunks);
    std::vector<std::size_t> cuts;
    std::size_t keyframer = 0;
    for (const StudioChunk& chunk : chunks) {
        cuts.insert(cuts.end(), {chunk.start, chunk.end});
        if (chunk.id == 0xB000)
            keyframer = chunk.start;
    }
    ASSERT_GT(keyframer, 0u) << "the writer wrote no keyframer section";
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    int complete = 0;
    for (std::size_t cut : cuts) {
        if (cut == 0 || cut >= whole.size())
            continue;
        writeFile("data/model.3ds", whole.substr(0, cut));
        writeFile("data/model.dvm", goodMesh);
        const ProcessResult result = runHeadless({"--convert3DtoDVM", "model.3ds"});
        EXPECT_EQ(lineCount(result.err), 1) << "cut at " << cut << ": " << result.err;
        EXPECT_EQ(fileContent("data/model.dvm"), goodMesh) << "cut at " << cut;
        if (cut >= keyframer + 6) {  // the keyframer's header is whole: only skipped bytes are missing
            ++complete;
            EXPECT_EQ(result.exitStatus, 0) << "cut at " << cut << ": " << result.err;
            EXPECT_NE(result.err.find("warning: chunk B000"), std::string::npos) << result.err;
        } else {
            EXPECT_EQ(result.exitStatus, 1) << "cut at " << cut;
            EXPECT_EQ(result.err.rfind("tarnix: model.3ds: ", 0), 0u) << result.err;
        }
    }
    EXPECT_GT(complete, 0) << "no cut fell in the keyframer section";
}

TEST_F(ProgramTest, TheDemosSwitchesLeaveToolModeAsItWas) {
    const ProcessResult result = runHeadless({"--window", "--capture", "frames", "--fps", "30", "--convert3DtoDVM"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "Exporting 3D Objects to .DVM\n");
    EXPECT_FALSE(std::filesystem::exists("frames"));
}

TEST_F(ProgramTest, AnUnusableDemoSwitchEndsWithOneLineBeforeAnyWindow) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--fps", "0"},
          {"--capture"},
          {"--capture", "x", "--start", "9", "--until", "5"},
          {"--start", "4294967295", "--fps", "1"},  // once wrapped the frame times and never began
          {"--capture", "x", "--until", "36000001"}}) {
        const ProcessResult result = runHeadless(arguments);
        EXPECT_EQ(result.exitStatus, 2) << arguments[0];
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
        EXPECT_EQ(result.err.rfind("tarnix: ", 0), 0u) << result.err;
    }
    // Switches that do not go together, each named in its line.
    const std::pair<std::vector<std::string>, std::string> conflicts[] = {
        {{"--capture", "x", "--scale", "2", "--native"}, "--scale and --native are two sizes for one capture"},
        {{"--capture", "x.mp4", "--preset", "party", "--fps", "30"}, "--preset party sets the size and the frame rate"},
        {{"--capture", "x.mp4", "--preset", "youtube", "--native"}, "--preset youtube sets the size and the frame rate"},
        {{"--capture", "x.mp4", "--preset", "master"}, "--preset master is lossless FFV1 and FLAC, which go in Matroska"},
        {{"--capture", "x.mp4", "--preset", "nope"}, "--preset takes youtube, party or master, not \"nope\""},
        {{"--capture", "x", "--preset", "party"}, "--preset party makes a video"}};
    for (const auto& [arguments, message] : conflicts) {
        const ProcessResult result = runHeadless(arguments);
        EXPECT_EQ(result.exitStatus, 2) << message;
        EXPECT_EQ(result.err.rfind("tarnix: " + message, 0), 0u) << result.err;
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
    }
    EXPECT_FALSE(std::filesystem::exists("x")) << "nothing is made before the switches are checked";
}

// Without a display (and no SDL_VIDEODRIVER chosen), or with one that does not
// answer, the demo says so in one line and leaves the terminal alone: no text-
// mode video driver takes it over with its escape sequences.
TEST_F(ProgramTest, WithoutADisplayTheDemoSaysHowToCaptureAndLeavesTheTerminalAlone) {
    ProcessOptions options;
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    options.set = {"SDL_AUDIODRIVER=dummy"};
    const ProcessResult none = runProcess(TARNIX_EXECUTABLE, {}, options);
    EXPECT_EQ(none.exitStatus, 1);
    EXPECT_EQ(lineCount(none.err), 1) << none.err;
    EXPECT_NE(none.err.find("no display"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("--capture"), std::string::npos) << none.err;
    options.set.push_back("DISPLAY=:9999");
    const ProcessResult unreachable = runProcess(TARNIX_EXECUTABLE, {"--window"}, options);
    EXPECT_EQ(unreachable.exitStatus, 1);
    EXPECT_EQ(lineCount(unreachable.err), 1) << unreachable.err;
    EXPECT_NE(unreachable.err.find(":9999"), std::string::npos) << unreachable.err;
    for (const ProcessResult* result : {&none, &unreachable}) {
        EXPECT_EQ(result->out, "");
        EXPECT_EQ(result->err.find('\x1b'), std::string::npos) << result->err;
    }
}

// --help lists every switch with its line and ends without a window (there is
// no display here); the README's tables hold the same lines, word for word.
TEST_F(ProgramTest, HelpListsEverySwitchAsTheReadmeDoesAndOpensNoWindow) {
    const ProcessResult result = runHeadless({"--help"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, helpText());
    const std::string readme = fileContent(TARNIX_README);
    // The photosensitivity warning comes first in --help, and in the README
    // right below the two commands, before anyone plays the demo.
    EXPECT_EQ(result.out.rfind(std::string(flashWarning) + "\n\n", 0), 0u) << result.out;
    const std::size_t warning = readme.find(std::string("**") + flashWarning + "**");
    EXPECT_LT(warning, readme.find("Both commands")) << "the README's warning is missing or comes late";
    auto check = [&](const SwitchHelp& entry, const std::string& prefix) {
        EXPECT_NE(result.out.find(std::string(entry.usage) + " "), std::string::npos) << entry.usage;
        EXPECT_NE(result.out.find(std::string(entry.text) + "\n"), std::string::npos) << entry.usage;
        const std::string row = "| `" + prefix + entry.usage + "` | " + entry.text + " |\n";
        EXPECT_NE(readme.find(row), std::string::npos) << "the README lacks the row " << row;
    };
    for (unsigned i = 0; i < toolSwitchCount; ++i)
        check(toolSwitchHelp[i], "tarnix ");
    for (unsigned i = 0; i < demoSwitchCount; ++i)
        check(demoSwitchHelp[i], "");
    // Then, last, what this build does.
    EXPECT_EQ(result.out.substr(result.out.size() - featureText().size()), featureText());
    EXPECT_EQ(lineCount(result.out), 6 + toolSwitchCount + 2 + demoSwitchCount + lineCount(featureText()));
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
