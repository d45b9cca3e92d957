// The files a capture writes, on their own: frame names and the sound file.

#include "app/capture/CaptureFiles.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

std::uint64_t littleEndianAt(const std::string& bytes, std::size_t at, int length) {
    std::uint64_t value = 0;
    for (int i = length - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

}  // namespace

// Five digits while they suffice, so that captures are named as they always
// were; more once the last frame's number needs them, so names sort in order.
TEST(CaptureFilesTest, FrameNamesHaveTheDigitsTheLastFrameNeeds) {
    EXPECT_EQ(frameFileName(7, frameNameDigits(1)), "frame_00007.png");
    EXPECT_EQ(frameFileName(99999, frameNameDigits(100000)), "frame_99999.png");
    EXPECT_EQ(frameFileName(5, frameNameDigits(100001)), "frame_000005.png");
    EXPECT_EQ(frameNameDigits(36000001), 8u);  // ten hours at a thousand frames a second
}

// Only frame files (and frames half written) from the number given on go;
// other files, and names that only look alike, stay.
TEST(CaptureFilesTest, RemovingFramesTouchesNothingElse) {
    WorkingDirectory directory;
    for (const char* name : {"frame_00000.png", "frame_00004.png", "frame_00005.png", "frame_000123.png",
                             "frame_00007.png.part", "frame_0009.png", "frame_00008.png.txt", "frame_0000x.png",
                             "sound.wav", "notes.txt"})
        writeFile(std::string("capture/") + name, "x");
    std::string error;
    ASSERT_TRUE(removeFrameFiles("capture", 5, error)) << error;
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator("capture"))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"frame_00000.png", "frame_00004.png", "frame_00008.png.txt",
                                              "frame_0000x.png", "frame_0009.png", "notes.txt", "sound.wav"}));
}

// A sound longer than a RIFF WAV's 32-bit lengths can say is RF64 from the
// start: the same format chunk and samples, its sizes in a "ds64" chunk.
// Shorter ones stay the plain WAV they always were. Closing keeps what is
// asked and cuts the rest off the file.
TEST(CaptureFilesTest, ASoundPastFourGibibytesIsRf64AndClosingKeepsWhatItSays) {
    WorkingDirectory directory;
    const std::vector<std::int16_t> samples = {1, -1, 2, -2, 3, -3, 4, -4};
    SoundFile plain;
    ASSERT_TRUE(plain.open("plain.wav", 44100, 2, 0xFFFFFFFFull / 4 - 9));  // 36 header bytes + data fit
    EXPECT_FALSE(plain.isRf64());
    ASSERT_TRUE(plain.append(samples.data(), samples.size()));
    ASSERT_TRUE(plain.close(3));
    const std::string wav = fileContent("plain.wav");
    ASSERT_EQ(wav.size(), 44u + 12);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(littleEndianAt(wav, 4, 4), 36u + 12);
    EXPECT_EQ(littleEndianAt(wav, 40, 4), 12u);

    SoundFile large;
    const std::uint64_t tenHours = 36000ull * 44100;  // sample frames: 6.35 GB of 16-bit stereo
    ASSERT_TRUE(large.open("large.wav", 44100, 2, tenHours));
    EXPECT_TRUE(large.isRf64());
    ASSERT_TRUE(large.append(samples.data(), samples.size()));
    ASSERT_TRUE(large.close());
    const std::string rf64 = fileContent("large.wav");
    ASSERT_EQ(rf64.size(), 80u + 16);
    EXPECT_EQ(rf64.substr(0, 4), "RF64");
    EXPECT_EQ(littleEndianAt(rf64, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(rf64.substr(8, 8), "WAVEds64");
    EXPECT_EQ(littleEndianAt(rf64, 16, 4), 28u);
    EXPECT_EQ(littleEndianAt(rf64, 20, 8), 72u + 16);  // the RIFF size: the file less 8 bytes
    EXPECT_EQ(littleEndianAt(rf64, 28, 8), 16u);       // the data
    EXPECT_EQ(littleEndianAt(rf64, 36, 8), 4u);        // sample frames
    EXPECT_EQ(rf64.substr(48, 24), wav.substr(12, 24));  // the same "fmt " chunk
    EXPECT_EQ(rf64.substr(72, 4), "data");
    EXPECT_EQ(littleEndianAt(rf64, 76, 4), 0xFFFFFFFFu);
    EXPECT_EQ(littleEndianAt(rf64, 80, 2), 1u);
}

// Past 4 GiB of samples an RF64 file says its lengths in 64 bits: the data
// size, the RIFF size and the sample frames past what 32 bits hold, and the
// samples written after the boundary where they belong. Four gibibytes and a
// little more are written for real (most of them zeros).
// ctest labels: once
TEST(CaptureFilesTest, AnRf64SoundAcrossFourGibibytesSaysItsLengthInFull) {
    WorkingDirectory directory;
    SoundFile sound;
    const std::uint64_t boundary = 1ull << 32;  // bytes of samples
    ASSERT_TRUE(sound.open("long.wav", 44100, 2, boundary / 4 + 4));
    ASSERT_TRUE(sound.isRf64());
    const std::vector<std::int16_t> silence(16 << 20, 0);  // 32 MiB
    for (std::uint64_t written = 0; written < boundary; written += silence.size() * 2)
        ASSERT_TRUE(sound.append(silence.data(), silence.size()));
    const std::vector<std::int16_t> last = {1, -1, 2, -2, 3, -3, 4, -4};
    ASSERT_TRUE(sound.append(last.data(), last.size()));
    ASSERT_TRUE(sound.close());
    const std::uint64_t data = boundary + 16;
    EXPECT_EQ(std::filesystem::file_size("long.wav"), 80 + data);
    std::ifstream file("long.wav", std::ios::binary);
    std::string header(80, '\0');
    file.read(&header[0], 80);
    EXPECT_EQ(littleEndianAt(header, 20, 8), 72 + data);  // the RIFF size
    EXPECT_EQ(littleEndianAt(header, 28, 8), data);
    EXPECT_EQ(littleEndianAt(header, 36, 8), data / 4);  // sample frames
    std::string tail(16, '\0');
    file.seekg(static_cast<std::streamoff>(80 + boundary));
    file.read(&tail[0], 16);
    for (std::size_t i = 0; i < last.size(); ++i)
        EXPECT_EQ(static_cast<std::int16_t>(littleEndianAt(tail, 2 * i, 2)), last[i]) << i;
    std::filesystem::remove("long.wav");
}
