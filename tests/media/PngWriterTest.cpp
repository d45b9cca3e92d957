#include "engine/media/PngWriter.h"

#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <png.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using testsupport::fileContent;
using testsupport::pngBytes;

namespace {

// A picture in which each filter type wins some rows: bands of eight rows of
// noise (nothing predicts it), ramps along the row, vertical stripes (the row
// above does), and a smooth bowl with a little noise (Average and Paeth).
// `alternatingOnly`: pixels alternating between two levels, where Average
// would win if a picture one row high or one pixel wide could take it.
std::vector<std::uint16_t> mixedPicture(int width, int height, int channels, bool alternatingOnly) {
    std::vector<std::uint16_t> samples;
    std::uint32_t random = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                random = random * 1103515245u + 12345u;
                const int noise = static_cast<int>(random >> 24);
                int value = 0;
                if (alternatingOnly)
                    value = ((x + y) & 1) ? 50 : 100;
                else if ((y / 8) % 4 == 0)
                    value = noise;
                else if ((y / 8) % 4 == 1)
                    value = x * (c + 1);
                else if ((y / 8) % 4 == 2)
                    value = ((x / 7) & 1) ? 200 + c : 30;
                else
                    value = (x * x + y * y) / 40 + (noise & 3);
                samples.push_back(static_cast<std::uint16_t>(value & 0xFF));
            }
    return samples;
}

std::vector<unsigned char> asBytes(const std::vector<std::uint16_t>& samples) {
    return std::vector<unsigned char>(samples.begin(), samples.end());
}

}  // namespace

// The writer chooses filters and cuts chunks itself; whatever the shape and
// level, its file must be the one libpng writes.
TEST(PngWriterTest, WritesLibpngsBytesForEveryShapeAndLevel) {
    struct Shape {
        int width, height, channels, level;
        bool alternatingOnly;
    };
    const Shape shapes[] = {
        {640, 48, 3, 1, false},   // a strip of a capture
        {301, 37, 4, 6, false},   // rows that do not fill whole 16-byte blocks
        {97, 200, 3, 9, false},
        {200, 100, 3, 0, false},  // stored, not compressed
        {6000, 1, 3, 1, true},  // one row: nothing above it
        {1, 4100, 4, 1, true},  // one column: nothing to its left
        {64, 85, 3, 1, false},    // 16405 filtered bytes: just past what libpng treats as small
        {64, 84, 3, 1, false},    // 16212: small
    };
    testsupport::WorkingDirectory directory;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height) + " x " +
                     std::to_string(shape.channels) + " at level " + std::to_string(shape.level));
        const std::vector<std::uint16_t> samples = mixedPicture(shape.width, shape.height, shape.channels, shape.alternatingOnly);
        const std::vector<unsigned char> pixels = asBytes(samples);
        std::string error;
        ASSERT_TRUE(tarnix::writePngFile("picture.png", shape.width, shape.height, shape.channels, pixels.data(),
                                         shape.level, error))
            << error;
        const int colorType = shape.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        EXPECT_TRUE(fileContent("picture.png") ==
                    pngBytes(shape.width, shape.height, colorType, 8, samples, {}, shape.level));
    }
}

TEST(PngWriterTest, WritesRowsHeldBottomFirstAndReportsAFailedWrite) {
    testsupport::WorkingDirectory directory;
    const int width = 160, height = 120;
    const std::vector<unsigned char> topFirst = asBytes(mixedPicture(width, height, 3, false));
    std::vector<unsigned char> bottomFirst;
    for (int y = height - 1; y >= 0; --y)
        bottomFirst.insert(bottomFirst.end(), topFirst.begin() + y * width * 3, topFirst.begin() + (y + 1) * width * 3);
    std::string error;
    ASSERT_TRUE(tarnix::writePngFile("top.png", width, height, 3, topFirst.data(), 1, error));
    ASSERT_TRUE(tarnix::writePngFile("bottom.png", width, height, 3, bottomFirst.data() + (height - 1) * width * 3,
                                     -width * 3, 1, error));
    EXPECT_EQ(fileContent("top.png"), fileContent("bottom.png"));

    EXPECT_FALSE(tarnix::writePngFile("missing/picture.png", width, height, 3, topFirst.data(), 1, error));
    EXPECT_EQ(error, "No such file or directory");
}
