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

// A picture in which each of PNG's filter types wins some rows: bands of
// eight rows of noise (nothing predicts it), ramps along the row, vertical
// stripes (the row above does), and a smooth bowl with a little noise
// (Average and Paeth).
std::vector<std::uint16_t> mixedPicture(int width, int height, int channels) {
    std::vector<std::uint16_t> samples;
    std::uint32_t random = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) {
                random = random * 1103515245u + 12345u;
                const int noise = static_cast<int>(random >> 24);
                int value = 0;
                if ((y / 8) % 4 == 0)
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

// The data generator's pictures: libpng's own file at the level asked for,
// RGB and RGBA (the generated data's bytes stay those of earlier builds).
TEST(PngWriterTest, WritesLibpngsBytesAtTheLevelAskedFor) {
    struct Shape {
        int width, height, channels, level;
    };
    const Shape shapes[] = {{640, 48, 3, 1}, {301, 37, 4, 6}, {200, 100, 3, 0 /* stored, not compressed */}};
    testsupport::WorkingDirectory directory;
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height) + " x " +
                     std::to_string(shape.channels) + " at level " + std::to_string(shape.level));
        const std::vector<std::uint16_t> samples = mixedPicture(shape.width, shape.height, shape.channels);
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

// A capture's frames take a writer of their own: its files must read back
// (through libpng) to the pixels given, whatever the shape.
TEST(PngWriterTest, AFrameFileReadsBackToItsPixels) {
    struct Shape {
        int width, height, channels;
    };
    const Shape shapes[] = {{640, 480, 3}, {301, 37, 4}, {1, 1, 3}, {6000, 1, 3}, {1, 4100, 4}};
    testsupport::WorkingDirectory directory;
    tarnix::FramePngWriter frameWriter;  // one for all: a size that changes must not trip it
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.width) + " x " + std::to_string(shape.height) + " x " +
                     std::to_string(shape.channels));
        const std::vector<unsigned char> pixels = asBytes(mixedPicture(shape.width, shape.height, shape.channels));
        std::string error;
        ASSERT_TRUE(frameWriter.write("frame.png", shape.width, shape.height, shape.channels, pixels.data(),
                                              shape.width * shape.channels, error))
            << error;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, "frame.png")) << image.message;
        EXPECT_EQ(image.width, static_cast<png_uint_32>(shape.width));
        EXPECT_EQ(image.height, static_cast<png_uint_32>(shape.height));
        image.format = shape.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        std::vector<unsigned char> readBack(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, readBack.data(), 0, nullptr)) << image.message;
        EXPECT_TRUE(readBack == pixels);
    }
}

// Both writers take rows held bottom first (as OpenGL reads them back), give
// the same bytes each time, and report a write that fails.
TEST(PngWriterTest, WritesRowsHeldBottomFirstAndReportsAFailedWrite) {
    testsupport::WorkingDirectory directory;
    const int width = 160, height = 120;
    const std::vector<unsigned char> topFirst = asBytes(mixedPicture(width, height, 3));
    std::vector<unsigned char> bottomFirst;
    for (int y = height - 1; y >= 0; --y)
        bottomFirst.insert(bottomFirst.end(), topFirst.begin() + y * width * 3, topFirst.begin() + (y + 1) * width * 3);
    const unsigned char* bottomFirstTopRow = bottomFirst.data() + (height - 1) * width * 3;
    tarnix::FramePngWriter frameWriter;
    std::string error;
    ASSERT_TRUE(tarnix::writePngFile("top.png", width, height, 3, topFirst.data(), 1, error));
    ASSERT_TRUE(tarnix::writePngFile("bottom.png", width, height, 3, bottomFirstTopRow, -width * 3, 1, error));
    EXPECT_EQ(fileContent("top.png"), fileContent("bottom.png"));
    ASSERT_TRUE(frameWriter.write("top-frame.png", width, height, 3, topFirst.data(), width * 3, error));
    ASSERT_TRUE(frameWriter.write("bottom-frame.png", width, height, 3, bottomFirstTopRow, -width * 3, error));
    ASSERT_TRUE(frameWriter.write("again-frame.png", width, height, 3, topFirst.data(), width * 3, error));
    EXPECT_EQ(fileContent("top-frame.png"), fileContent("bottom-frame.png"));
    EXPECT_EQ(fileContent("top-frame.png"), fileContent("again-frame.png"));

    EXPECT_FALSE(tarnix::writePngFile("missing/picture.png", width, height, 3, topFirst.data(), 1, error));
    EXPECT_EQ(error, "No such file or directory");
    error.clear();
    EXPECT_FALSE(frameWriter.write("missing/frame.png", width, height, 3, topFirst.data(), width * 3, error));
    EXPECT_EQ(error, "No such file or directory");
}
