// Offline captures of the demo by the program itself, on the display.

#include "engine/media/Image.h"
#include "support/Process.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

using namespace testsupport;

namespace {

// Every file of a capture directory, by name.
std::map<std::string, std::string> filesOf(const std::string& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        files[entry.path().filename().string()] = fileContent(entry.path().string());
    return files;
}

std::vector<std::string> captureArguments(const std::string& directory, unsigned start, unsigned until) {
    return {"--capture", directory, "--fps", "10", "--start", std::to_string(start), "--until", std::to_string(until)};
}

ProcessResult capture(const std::string& directory, unsigned start, unsigned until, bool quiet = false) {
    ProcessOptions options;
    options.timeoutSeconds = 240;
    std::vector<std::string> arguments = captureArguments(directory, start, until);
    if (quiet)
        arguments.push_back("--quiet");
    return runProcess(TARNIX_EXECUTABLE, arguments, options);
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
    const ProcessResult first = capture("middle", 20000, 22000);
    ASSERT_EQ(first.exitStatus, 0);
    // Off a terminal the progress comes as whole lines, the last one a summary.
    EXPECT_NE(first.err.find("tarnix: captured 21 of 21 frames, demo time 20.000 to 22.000 s, in "), std::string::npos)
        << first.err;
    EXPECT_EQ(first.err.find('\r'), std::string::npos);
    const ProcessResult quiet = capture("middle-again", 20000, 22000, true);
    ASSERT_EQ(quiet.exitStatus, 0);
    EXPECT_EQ(quiet.err, "");
    ASSERT_EQ(capture("tunnel", 50500, 52500).exitStatus, 0);
    const auto middle = filesOf("middle");
    EXPECT_EQ(middle.size(), 22u);  // 21 frames from 20000 to 22000 at 10 a second, and the sound
    EXPECT_EQ(middle, filesOf("middle-again"));
    const auto tunnel = filesOf("tunnel");
    ASSERT_EQ(tunnel.size(), middle.size());
    EXPECT_NE(tunnel.at("frame_00010.png"), middle.at("frame_00010.png"));
    EXPECT_NE(tunnel.at("sound.wav"), middle.at("sound.wav"));
}

// On a terminal (here a pseudo-terminal made by script(1)) the progress is one
// line rewritten in place, ended once the capture is.
TEST_F(CaptureTest, OnATerminalTheProgressIsOneLineRewrittenInPlace) {
    std::string command = TARNIX_EXECUTABLE;
    for (const std::string& argument : captureArguments("frames", 0, 1000))
        command += " " + argument;
    const ProcessResult result = runProcess("/usr/bin/script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(result.exitStatus, 0) << result.out;
    const std::size_t summary = result.out.find("\rtarnix: captured 11 of 11 frames");
    EXPECT_NE(summary, std::string::npos) << result.out;
    EXPECT_EQ(result.out.find('\n'), result.out.size() - 1) << "one line only: " << result.out;
}

// A capture four times finer, each 4 × 4 block averaged back to one pixel, is
// the same picture as the plain capture of the frame: within 30 dB of PSNR in
// every section but the tunnel, whose 2-pixel points the plain frame snaps to
// its pixel grid while the finer one draws them where they are.
TEST_F(CaptureTest, AFourTimesFinerCaptureIsTheSamePictureFiner) {
    const struct {
        unsigned time;
        double leastPsnr;
    } frames[] = {{3000, 30}, {12000, 30}, {30000, 30}, {51000, 25}, {60000, 30}};
    for (const auto& [time, leastPsnr] : frames) {
        const std::string at = std::to_string(time);
        ProcessOptions options;
        options.timeoutSeconds = 240;
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", "plain" + at, "--start", at, "--until", at, "--quiet"}, options)
                      .exitStatus,
                  0);
        ASSERT_EQ(runProcess(TARNIX_EXECUTABLE,
                             {"--capture", "fine" + at, "--scale", "4", "--start", at, "--until", at, "--quiet"}, options)
                      .exitStatus,
                  0);
        std::unique_ptr<tarnix::ImageData> plain(tarnix::image.loadPNG(("plain" + at + "/frame_00000.png").c_str()));
        std::unique_ptr<tarnix::ImageData> fine(tarnix::image.loadPNG(("fine" + at + "/frame_00000.png").c_str()));
        ASSERT_TRUE(plain && fine);
        ASSERT_EQ(fine->width, 4 * plain->width);
        ASSERT_EQ(fine->height, 4 * plain->height);
        double squaredError = 0;
        for (int y = 0; y < plain->height; ++y)
            for (int x = 0; x < plain->width; ++x)
                for (int c = 0; c < 3; ++c) {
                    double block = 0;
                    for (int dy = 0; dy < 4; ++dy)
                        for (int dx = 0; dx < 4; ++dx)
                            block += (fine->pixels[static_cast<std::size_t>(4 * y + dy) * fine->width + 4 * x + dx] >>
                                      (8 * c)) & 0xFF;
                    const double difference = block / 16 - ((plain->pixels[static_cast<std::size_t>(y) * plain->width + x] >> (8 * c)) & 0xFF);
                    squaredError += difference * difference;
                }
        const double meanSquaredError = squaredError / (3.0 * plain->width * plain->height);
        const double psnr = 10 * std::log10(255.0 * 255.0 / std::max(meanSquaredError, 1e-9));
        EXPECT_GE(psnr, leastPsnr) << "at " << time << " ms";
        RecordProperty("psnr_at_" + at, std::to_string(psnr));
    }
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
