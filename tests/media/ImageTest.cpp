#include "engine/media/Image.h"

#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "support/GlState.h"
#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <png.h>
#include <zlib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>

using namespace testsupport;

namespace {

// Top row red, green; bottom row blue, white; all opaque.
const std::vector<std::uint16_t> quadrantsRgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
const std::vector<std::uint16_t> quadrantsRgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};

std::string pixelBytes(const tarnix::ImageData& picture) {
    std::string bytes;
    for (std::uint32_t word : picture.pixels)
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((word >> (8 * i)) & 0xFF);
    return bytes;
}

GLint internalComponents(const tarnix::Texture& texture) {
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, texture.id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glBindTexture(GL_TEXTURE_2D, 0);
    return format;
}

class ImageTest : public testing::Test {
protected:
    void TearDown() override { tarnix::init.forgetDataFiles(); }

    // Decodes data/<name> holding `bytes`, expecting a failure that is reported.
    void expectRejected(const std::string& name, const std::string& bytes, const std::string& reason) {
        writeFile("data/" + name, bytes);
        const unsigned textures = pictures.getImageCount();
        testing::internal::CaptureStderr();
        pictures.loadImage(name.c_str());
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(pictures.getImageCount(), textures) << name;
        EXPECT_EQ(pictures.getImageData(name.c_str()), nullptr) << name;
        EXPECT_EQ(err.rfind("tarnix: " + name + ": ", 0), 0u) << err;
        EXPECT_NE(err.find(reason), std::string::npos) << err;
    }

    WorkingDirectory directory;
    tarnix::Image pictures;
};

}  // namespace

TEST_F(ImageTest, RgbaPictureDecodesBottomRowFirstWithTheRedAverage) {
    writeFile("data/quad.png", pngBytes(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, quadrantsRgba));
    pictures.loadImage("quad.png");
    ASSERT_EQ(pictures.getImageCount(), 1u);
    const tarnix::ImageData* picture = pictures.getImageData("quad.png");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(pixelBytes(*picture), std::string("\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\xFF\x00\xFF\x00\xFF", 16));
    EXPECT_EQ(picture->average, 127u);
    EXPECT_EQ(picture->channels, 4);
    const tarnix::Texture* texture = pictures.getTexture("quad.png");
    EXPECT_EQ(texture, pictures.getTexture(0));
    EXPECT_EQ(texture->width, 2);
    EXPECT_EQ(texture->height, 2);
    EXPECT_NE(texture->id, 0u);
    EXPECT_EQ(internalComponents(*texture), 4);
}

TEST_F(ImageTest, RgbPictureHasZeroAlphaAndAThreeComponentTexture) {
    writeFile("data/quad.png", pngBytes(2, 2, PNG_COLOR_TYPE_RGB, 8, quadrantsRgb));
    pictures.loadImage("quad.png");
    const tarnix::ImageData* picture = pictures.getImageData(0);
    EXPECT_EQ(pixelBytes(*picture), std::string("\x00\x00\xFF\x00\xFF\xFF\xFF\x00\xFF\x00\x00\x00\x00\xFF\x00\x00", 16));
    EXPECT_EQ(internalComponents(*pictures.getTexture(0)), 3);
}

TEST_F(ImageTest, SixteenBitPicturesKeepTheirHighBytes) {
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 4; ++i)
        samples.insert(samples.end(), {0xABCD, 0x1234, 0xFF00, 0x00FF});
    writeFile("data/deep.png", pngBytes(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 16, samples));
    pictures.loadImage("deep.png");
    ASSERT_EQ(pictures.getImageCount(), 1u);
    EXPECT_EQ(pictures.getImageData(0)->pixels[3], 0x00FF12ABu);
}

TEST_F(ImageTest, TheTextureShowsThePictureTheRightWayUp) {
    writeFile("data/quad.png", pngBytes(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, quadrantsRgba));
    pictures.loadImage("quad.png");
    tarnix::viewReset();
    tarnix::perspective2D(2, 2);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, pictures.getTexture(0)->id);
    glBegin(GL_QUADS);
        glTexCoord2f(0, 0); glVertex2f(0, 0);
        glTexCoord2f(1, 0); glVertex2f(2, 0);
        glTexCoord2f(1, 1); glVertex2f(2, 2);
        glTexCoord2f(0, 1); glVertex2f(0, 2);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    tarnix::perspective3D();
    glFinish();
    // Quadrant centres sit about a texel centre; linear filtering may blend in
    // a level or two of the neighbours.
    auto expectNear = [](const std::array<unsigned char, 3>& actual, int r, int g, int b) {
        EXPECT_NEAR(actual[0], r, 2);
        EXPECT_NEAR(actual[1], g, 2);
        EXPECT_NEAR(actual[2], b, 2);
    };
    expectNear(pixelAt(160, 360), 255, 0, 0);      // top left: red
    expectNear(pixelAt(480, 360), 0, 255, 0);      // top right: green
    expectNear(pixelAt(160, 120), 0, 0, 255);      // bottom left: blue
    expectNear(pixelAt(480, 120), 255, 255, 255);  // bottom right: white
}

TEST_F(ImageTest, PaletteAndGreyscalePicturesAreRejected) {
    expectRejected("palette.png", pngBytes(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, {255, 0, 0, 0, 0, 255}),
                   "palette and greyscale");
    expectRejected("grey.png", pngBytes(2, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 255}), "palette and greyscale");
    expectRejected("greyalpha.png", pngBytes(1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {9, 255}), "palette and greyscale");
}

TEST_F(ImageTest, DamagedAndTruncatedPicturesFailCleanly) {
    const std::string good = pngBytes(2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, quadrantsRgba);
    expectRejected("missing.png", "", "damaged picture");
    std::remove("data/missing.png");
    testing::internal::CaptureStderr();
    pictures.loadImage("missing.png");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tarnix: missing.png: cannot open the picture\n");

    std::string corrupt = good;
    corrupt[good.size() - 20] ^= 0x5A;  // inside the compressed data: its checksum fails
    expectRejected("corrupt.png", corrupt, "damaged picture");
    expectRejected("text.png", "this is not a picture at all", "damaged picture");
    for (std::size_t length = 0; length < good.size() - 12; ++length)  // the last 12 bytes are the end chunk
        expectRejected("cut.png", good.substr(0, length), "damaged picture");
    EXPECT_EQ(pictures.getImageCount(), 0u);

    writeFile("data/good.png", good);
    std::atomic<bool> givenUp{true};  // a decode the loading pass gave up: no picture, no line
    testing::internal::CaptureStderr();
    EXPECT_EQ(pictures.loadPNG("good.png", &givenUp), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    givenUp = false;
    std::unique_ptr<tarnix::ImageData> decoded(pictures.loadPNG("good.png", &givenUp));
    EXPECT_TRUE(decoded);
}

// Any shape up to 64 Mpixel decodes, and GLU scales its texture to what the
// driver takes; a header claiming more is refused, naming the limit and the
// claim, before anything is allocated.
TEST_F(ImageTest, PicturesUpTo64MpixelOfAnyShapeLoadAndLargerClaimsAreRefused) {
    std::vector<std::uint16_t> stripe(5000 * 100 * 3);
    for (std::size_t i = 0; i < stripe.size(); i += 3)
        stripe[i + 2] = 255;  // blue
    writeFile("data/wide.png", pngBytes(5000, 100, PNG_COLOR_TYPE_RGB, 8, stripe));
    testing::internal::CaptureStderr();
    pictures.loadImage("wide.png");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(pictures.getImageCount(), 1u);
    const tarnix::Texture& wide = *pictures.getTexture(0);
    EXPECT_EQ(wide.width, 5000);
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, wide.id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<unsigned char> texels(static_cast<std::size_t>(width) * height * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(width & (width - 1), 0) << width;  // a power of two
    EXPECT_GE(width, 4096);
    EXPECT_EQ(height, 128);
    EXPECT_EQ(texels[texels.size() / 2 + 2], 255);  // still blue after scaling
    EXPECT_EQ(texels[texels.size() / 2], 0);

    // Headers alone: the claim decides before any pixel data is looked at.
    auto claiming = [](std::uint32_t w, std::uint32_t h) {
        std::string bytes = pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3});
        for (int i = 0; i < 4; ++i) {
            bytes[16 + i] = static_cast<char>(w >> (24 - 8 * i));
            bytes[20 + i] = static_cast<char>(h >> (24 - 8 * i));
        }
        const uLong checksum = crc32(0, reinterpret_cast<const Bytef*>(&bytes[12]), 17);
        for (int i = 0; i < 4; ++i)
            bytes[29 + i] = static_cast<char>((checksum >> (24 - 8 * i)) & 0xFF);
        return bytes;
    };
    expectRejected("huge.png", claiming(65536, 65536),
                   "the picture claims 65536 × 65536 pixels; at most 67108864 (64 Mpixel) are accepted");
    expectRejected("over.png", claiming(8192, 8193), "claims 8192 × 8193 pixels");
    expectRejected("line.png", claiming(0x7FFFFFFF, 1), "claims 2147483647 × 1 pixels");
    // At the limit the claim passes, but a file of a few bytes cannot hold
    // 256 MiB of rows even at deflate's best: refused before libpng allocates them.
    expectRejected("limit.png", claiming(8192, 8192), "damaged picture: its 69 bytes cannot hold the 8192 × 8192 pixels");
}

TEST_F(ImageTest, RenderTargetsComeLastAndShiftTheIndices) {
    writeFile("data/a.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3}));
    writeFile("data/b.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {4, 5, 6}));
    pictures.loadImage("a.png");
    pictures.loadImage("b.png");
    pictures.createTexture(1, 32, "rtt");
    pictures.createTexture(0, 16, "soft");
    EXPECT_EQ(pictures.getImageCount(), 4u);
    const tarnix::Texture* target = pictures.getTexture(2);
    EXPECT_EQ(target, pictures.getTexture("rtt"));
    EXPECT_EQ(target->width, 32);
    EXPECT_EQ(target->height, 32);
    GLint minFilter = 0, magFilter = 0, width = 0;
    glBindTexture(GL_TEXTURE_2D, target->id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(minFilter, GL_NEAREST);
    EXPECT_EQ(magFilter, GL_NEAREST);
    EXPECT_EQ(width, 32);
    glBindTexture(GL_TEXTURE_2D, pictures.getTexture(3)->id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(pictures.getImageData("rtt"), nullptr);
}

TEST_F(ImageTest, TheFirstOfTwoSameNamedTexturesWinsAndAMissingNameIsReportedOnce) {
    writeFile("data/same.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3}));
    pictures.loadImage("same.png");
    pictures.loadImage("same.png");
    ASSERT_EQ(pictures.getImageCount(), 2u);
    EXPECT_EQ(pictures.getTexture("same.png"), pictures.getTexture(0));

    testing::internal::CaptureStderr();
    const tarnix::Texture* missing = pictures.getTexture("nope.png");
    pictures.getTexture("nope.png");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tarnix: nope.png: no such texture is loaded\n");
    EXPECT_EQ(missing->id, 0u);
    EXPECT_EQ(pictures.getImageCount(), 2u);
}

TEST_F(ImageTest, PixelApproximationPicksByAverageAndStaysInsideThePicture) {
    writeFile("data/dark.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {10, 0, 0}));
    writeFile("data/bright.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {200, 0, 0}));
    pictures.loadImage("dark.png");
    pictures.loadImage("bright.png");
    // Reference "dark" (average 10, pixel 10): bright's difference 10 - 200
    // wraps to a huge unsigned value, so dark stays the pick.
    EXPECT_EQ(pictures.getPixelApproxTexture("dark.png", 0, 0), pictures.getTexture(0));
    // Reference "bright" (pixel 200): dark first (200 > 190), then bright
    // itself ((200 & (255 - 10)) = 192 > 0).
    EXPECT_EQ(pictures.getPixelApproxTexture("bright.png", 0, 0), pictures.getTexture(1));
    EXPECT_EQ(pictures.getPixelApproxTexture("bright.png", 1, 0), nullptr);
    EXPECT_EQ(pictures.getPixelApproxTexture("bright.png", 0, 1), nullptr);
    EXPECT_EQ(pictures.getPixelApproxTexture("none.png", 0, 0), nullptr);

    testing::internal::CaptureStdout();
    pictures.processImage(pictures.getImageData(1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "REMOVE THIS: bright.png\n");
    pictures.freeImageData();
    EXPECT_EQ(pictures.getImageData("dark.png"), nullptr);
    EXPECT_EQ(pictures.getImageCount(), 2u);
}
