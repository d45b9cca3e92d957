#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every action in order, with its argument.
class RecordingActions : public ToolActions {
public:
    std::vector<std::string> calls;

    void setPackDirectory(const std::string& directory) override { calls.push_back("directory " + directory); }
    bool createPack() override { return record("create"); }
    bool hexdumpPack() override { return record("hexdump"); }
    bool convertModel(const char* modelName) override { return record(std::string("convert ") + modelName); }

    // Actions whose call text is listed here report failure.
    std::vector<std::string> failing;

private:
    bool record(const std::string& call) {
        calls.push_back(call);
        for (const std::string& failure : failing)
            if (failure == call)
                return false;
        return true;
    }
};

struct Scan {
    bool toolMode = false;
    bool toolFailed = false;
    std::vector<std::string> calls;
    std::string out;
};

Scan scan(std::vector<std::string> arguments, std::vector<std::string> failing = {}) {
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    RecordingActions actions;
    actions.failing = failing;
    Scan result;
    testing::internal::CaptureStdout();
    const ScanResult scanned = scanCommandLine(static_cast<int>(argv.size()), argv.data(), actions);
    result.toolMode = scanned.toolMode;
    result.toolFailed = scanned.toolFailed;
    result.out = testing::internal::GetCapturedStdout();
    result.calls = actions.calls;
    return result;
}

using Calls = std::vector<std::string>;

}  // namespace

TEST(CommandLineTest, VersionPrintsBannerButStaysInDemoMode) {
    const Scan result = scan({"tarnix", "--version"});
    EXPECT_FALSE(result.toolMode);
    EXPECT_EQ(result.out, "Tarnix Engine v3 - test release\n");
    EXPECT_TRUE(result.calls.empty());
}

TEST(CommandLineTest, OnlyFullCaseSensitiveMatchesCount) {
    const Scan result = scan({"tarnix", "--Version", "--versions", "--version ", "-version", "--hexdumpdatapack",
                              "--createDataPackX", "--convert3DtoDVM2", "", "--"});
    EXPECT_FALSE(result.toolMode);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.calls.empty());
}

TEST(CommandLineTest, ScanStartsAtIndexZero) {
    const Scan result = scan({"--hexdumpDataPack"});
    EXPECT_TRUE(result.toolMode);
    EXPECT_EQ(result.calls, Calls({"hexdump"}));
}

TEST(CommandLineTest, CreateDataPackTakesADirectoryAndAppendsASlash) {
    EXPECT_EQ(scan({"tarnix", "--createDataPack"}).calls, Calls({"create"}));
    EXPECT_EQ(scan({"tarnix", "--createDataPack", "art"}).calls, Calls({"directory art/", "create"}));
    EXPECT_EQ(scan({"tarnix", "--createDataPack", "art/"}).calls, Calls({"directory art//", "create"}));

    const Scan twice = scan({"tarnix", "--createDataPack", "a", "--createDataPack"});
    EXPECT_TRUE(twice.toolMode);
    EXPECT_EQ(twice.calls, Calls({"directory a/", "create", "create"}));
}

TEST(CommandLineTest, CreateDataPackLeavesADashArgumentToBeExaminedAsASwitch) {
    const Scan result = scan({"tarnix", "--createDataPack", "--hexdumpDataPack"});
    EXPECT_EQ(result.calls, Calls({"create", "hexdump"}));

    const Scan unknown = scan({"tarnix", "--createDataPack", "-x", "data"});
    EXPECT_EQ(unknown.calls, Calls({"create"}));
}

TEST(CommandLineTest, ConvertTakesEverythingUpToTheNextDashArgumentWhichActsAsASwitch) {
    const Scan result = scan({"tarnix", "--convert3DtoDVM", "ship.3ds", "rock.3ds", "--version", "more.3ds"});
    EXPECT_TRUE(result.toolMode);
    EXPECT_EQ(result.calls, Calls({"convert ship.3ds", "convert rock.3ds"}));
    EXPECT_EQ(result.out, "Exporting 3D Objects to .DVM\nTarnix Engine v3 - test release\n");

    const Scan alone = scan({"tarnix", "--convert3DtoDVM"});
    EXPECT_TRUE(alone.toolMode);
    EXPECT_TRUE(alone.calls.empty());
    EXPECT_EQ(alone.out, "Exporting 3D Objects to .DVM\n");
}

TEST(CommandLineTest, VersionBeforeAToolSwitchPrintsFirstAndEndsInToolMode) {
    const Scan result = scan({"tarnix", "--version", "--hexdumpDataPack", "--hexdumpDataPack"});
    EXPECT_TRUE(result.toolMode);
    EXPECT_EQ(result.out, "Tarnix Engine v3 - test release\n");
    EXPECT_EQ(result.calls, Calls({"hexdump", "hexdump"}));
}

TEST(CommandLineTest, AFailedActionIsRecordedAndTheRestStillRun) {
    const Scan result = scan({"tarnix", "--convert3DtoDVM", "a.3ds", "b.3ds", "--hexdumpDataPack"}, {"convert a.3ds"});
    EXPECT_TRUE(result.toolFailed);
    EXPECT_EQ(result.calls, Calls({"convert a.3ds", "convert b.3ds", "hexdump"}));
    EXPECT_FALSE(scan({"tarnix", "--hexdumpDataPack"}).toolFailed);
}

TEST(CommandLineTest, TheDemosSwitchesTakeTheirValues) {
    std::vector<std::string> arguments = {"tarnix", "--window", "--capture", "out", "--fps", "25",
                                          "--until", "9000", "--start", "1500"};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    RecordingActions actions;
    const ScanResult result = scanCommandLine(static_cast<int>(argv.size()), argv.data(), actions);
    EXPECT_FALSE(result.toolMode);
    EXPECT_TRUE(result.demo.windowed);
    EXPECT_EQ(result.demo.captureTarget, "out");
    EXPECT_EQ(result.demo.framesPerSecond, 25u);
    EXPECT_EQ(result.demo.untilMs, 9000u);
    EXPECT_EQ(result.demo.startMs, 1500u);
    EXPECT_EQ(result.demo.error, "");

    const DemoOptions defaults;
    EXPECT_FALSE(defaults.windowed);
    EXPECT_EQ(defaults.framesPerSecond, 60u);
    EXPECT_EQ(defaults.untilMs, 60000u);
    EXPECT_EQ(defaults.startMs, 0u);
}

TEST(CommandLineTest, ADemoSwitchWithoutAUsableValueIsReportedAndLeavesSwitchesAlone) {
    const auto errorOf = [](std::vector<std::string> arguments) {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        RecordingActions actions;
        testing::internal::CaptureStdout();
        const ScanResult result = scanCommandLine(static_cast<int>(argv.size()), argv.data(), actions);
        testing::internal::GetCapturedStdout();
        return std::make_pair(result.demo.error, actions.calls);
    };
    EXPECT_EQ(errorOf({"tarnix", "--fps", "0"}).first, "--fps takes a whole number from 1 to 1000, not \"0\"");
    EXPECT_EQ(errorOf({"tarnix", "--until", "12x"}).first,
              "--until takes a whole number from 0 to 36000000, not \"12x\"");
    EXPECT_EQ(errorOf({"tarnix", "--start", "36000000"}).first, "");
    EXPECT_EQ(errorOf({"tarnix", "--start", "36000001"}).first,
              "--start takes a whole number from 0 to 36000000, not \"36000001\"");
    EXPECT_EQ(errorOf({"tarnix", "--start"}).first, "--start needs a value");
    const auto swallowed = errorOf({"tarnix", "--capture", "--hexdumpDataPack"});
    EXPECT_EQ(swallowed.first, "--capture needs a value");
    EXPECT_EQ(swallowed.second, Calls({"hexdump"}));
}

TEST(CommandLineTest, MeshNameReplacesTheLastFourCharacters) {
    EXPECT_EQ(meshFileNameFor("ship.3ds"), "ship.dvm");
    EXPECT_EQ(meshFileNameFor("ab"), "ab.dvm");
    EXPECT_EQ(meshFileNameFor("abc"), "abc.dvm");
    EXPECT_EQ(meshFileNameFor("abcd"), ".dvm");
    EXPECT_EQ(meshFileNameFor("abcdefg"), "abc.dvm");
    EXPECT_EQ(meshFileNameFor("model.3DS"), "model.dvm");
}
