// Offline captures of the demo by the program itself, on the display.

#include "support/Process.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>

using namespace testsupport;

namespace {

// Every file of a capture directory, by name.
std::map<std::string, std::string> filesOf(const std::string& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        files[entry.path().filename().string()] = fileContent(entry.path().string());
    return files;
}

ProcessResult capture(const std::string& directory, unsigned start, unsigned until) {
    ProcessOptions options;
    options.timeoutSeconds = 240;
    return runProcess(TARNIX_EXECUTABLE,
                      {"--capture", directory, "--fps", "10", "--start", std::to_string(start), "--until",
                       std::to_string(until)},
                      options);
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

class CaptureTest : public testing::Test {
protected:
    WorkingDirectory directory;
};

}  // namespace

TEST_F(CaptureTest, CapturesRepeatByteForByteAndDifferWithTheirStart) {
    ASSERT_EQ(capture("middle", 20000, 22000).exitStatus, 0);
    ASSERT_EQ(capture("middle-again", 20000, 22000).exitStatus, 0);
    ASSERT_EQ(capture("tunnel", 50500, 52500).exitStatus, 0);
    const auto middle = filesOf("middle");
    EXPECT_EQ(middle.size(), 22u);  // 21 frames from 20000 to 22000 at 10 a second, and the sound
    EXPECT_EQ(middle, filesOf("middle-again"));
    const auto tunnel = filesOf("tunnel");
    ASSERT_EQ(tunnel.size(), middle.size());
    EXPECT_NE(tunnel.at("frame_00010.png"), middle.at("frame_00010.png"));
    EXPECT_NE(tunnel.at("sound.wav"), middle.at("sound.wav"));
}

TEST_F(CaptureTest, TheSoundLastsAsLongAsTheFramesAndIsMusic) {
    ASSERT_EQ(capture("short", 3000, 5000).exitStatus, 0);
    const std::string wav = fileContent("short/sound.wav");
    ASSERT_GT(wav.size(), 44u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(u32At(wav, 24), 44100u);               // the music's rate
    EXPECT_EQ(u32At(wav, 40), 21u * 44100 / 10 * 4);  // 21 frames of 0.1 s, 16-bit stereo
    double energy = 0;
    const std::size_t samples = (wav.size() - 44) / 2;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto low = static_cast<unsigned char>(wav[44 + 2 * i]), high = static_cast<unsigned char>(wav[45 + 2 * i]);
        const auto sample = static_cast<std::int16_t>(low | high << 8);
        energy += double(sample) * sample;
    }
    EXPECT_GT(std::sqrt(energy / samples), 500.0);
}
