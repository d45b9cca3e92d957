// The demo program with its data incomplete, run from outside on the display.

#include "support/Process.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace testsupport;

TEST(DemoProgramTest, IncompleteDataEndsWithOneLineNamingWhatIsMissing) {
    WorkingDirectory directory;
    std::filesystem::create_directory("data");
    writeFile("data/scrolleri.txt", "hello");
    ProcessOptions options;
    options.set = {"SDL_AUDIODRIVER=dummy"};
    const ProcessResult result = runProcess(TARNIX_EXECUTABLE, {}, options);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("is incomplete: missing naisenpaeae.png, orvalde2006.png"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("greeble.dvm"), std::string::npos);
    EXPECT_EQ(result.err.find("scrolleri.txt"), std::string::npos);
}
