// The built program run from outside, as a user runs it. Without a display:
// a run that tried to open its window would fail, so exit status 0 shows that
// tool mode never reached SDL.

#include "support/Process.h"

#include <gtest/gtest.h>

#include <algorithm>

using testsupport::ProcessResult;
using testsupport::runProcess;

namespace {

const std::vector<std::string> noDisplay = {"DISPLAY", "WAYLAND_DISPLAY"};
const std::vector<std::string> x11Video = {"SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};

ProcessResult runHeadless(const std::vector<std::string>& arguments) {
    return runProcess(TARNIX_EXECUTABLE, arguments, ".", noDisplay, x11Video);
}

long lineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

}  // namespace

TEST(Program, VersionBeforeAToolSwitchPrintsBannerAndReturnsWithoutWindow) {
    const ProcessResult result = runHeadless({"--version", "--hexdumpDataPack"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.rfind("Tarnix Engine v3 - test release\n", 0), 0u) << result.out;
}

TEST(Program, ToolSwitchesReturnZeroWithoutWindow) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--hexdumpDataPack"}, {"--createDataPack", "--version"}, {"--convert3DtoDVM"}}) {
        const ProcessResult result = runHeadless(arguments);
        EXPECT_EQ(result.exitStatus, 0) << arguments[0] << ": " << result.err;
    }
}

TEST(Program, ConvertWithNothingToConvertPrintsOnlyItsHeading) {
    const ProcessResult result = runHeadless({"--convert3DtoDVM"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "Exporting 3D Objects to .DVM\n");
}

TEST(Program, MisspelledSwitchIsIgnoredSoTheDemoStartsAndReportsTheMissingDisplay) {
    const ProcessResult result = runHeadless({"--HexdumpDataPack", "--versionX"});
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(lineCount(result.err), 1) << result.err;
    EXPECT_EQ(result.err.rfind("tarnix: ", 0), 0u) << result.err;
}
