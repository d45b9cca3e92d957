#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/io/LoadingBar.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "support/GlState.h"
#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <SDL.h>
#include <png.h>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

using Rgb = std::array<unsigned char, 3>;

Rgb grey(float level) {
    const auto value = static_cast<unsigned char>(level * 255 + 0.5f);
    return {value, value, value};
}

// The 800 × 600 bar system mapped onto the 640 × 480 window: 0.8 pixels a unit.
Rgb barPixel(int x, int y) { return pixelAt(x * 4 / 5, y * 4 / 5); }

bool near(const Rgb& actual, const Rgb& expected) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(actual[i] - expected[i]) > 1)
            return false;
    return true;
}

class LoadingPassTest : public testing::Test {
protected:
    void TearDown() override { tarnix::init.forgetDataFiles(); }
    WorkingDirectory directory;
};

}  // namespace

TEST_F(LoadingPassTest, TheBarFillsWithProgressAndFadesOverTheLastTenth) {
    tarnix::drawLoadingBar(0, 11);
    glFinish();
    EXPECT_TRUE(near(barPixel(400, 293), grey(0.6f)));  // outline
    EXPECT_TRUE(near(barPixel(350, 300), grey(0.0f)));  // empty bar
    EXPECT_TRUE(near(barPixel(100, 100), grey(0.0f)));

    tarnix::drawLoadingBar(5, 11);  // u = 0.5: the bar ends at x = 400
    glFinish();
    EXPECT_TRUE(near(barPixel(350, 300), grey(0.3f)));
    EXPECT_TRUE(near(barPixel(450, 300), grey(0.0f)));

    tarnix::drawLoadingBar(10, 11);  // u = 1: full and faded to black
    glFinish();
    EXPECT_TRUE(near(barPixel(400, 293), grey(0.0f)));
    EXPECT_TRUE(near(barPixel(450, 300), grey(0.0f)));
    float colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
}

TEST_F(LoadingPassTest, EveryRegisteredNameGetsABarFrameAndItsLoader) {
    writeFile("data/a.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {9, 9, 9}));
    writeFile("data/b.txt", "no loader");
    writeFile("data/c.Png", "mixed case: no loader");
    writeFile("data/d.wav", wavBytes(0.05, 440));
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    const unsigned framesBefore = tarnix::getFramesPresented();
    const unsigned texturesBefore = tarnix::image.getImageCount();
    const std::size_t soundsBefore = tarnix::sound.getSoundCount();
    float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    glColor4fv(colour);

    tarnix::init.loadDataFiles();

    EXPECT_EQ(tarnix::getFramesPresented() - framesBefore, 4u);
    EXPECT_EQ(tarnix::image.getImageCount(), texturesBefore + 1);
    EXPECT_NE(tarnix::image.getImageData("a.png"), nullptr);
    EXPECT_EQ(tarnix::sound.getSoundCount(), soundsBefore + (tarnix::sound.isOpen() ? 1u : 0u));
    float after[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, after);
    EXPECT_EQ(after[0], 0.25f);  // the colour state comes back
    EXPECT_EQ(after[2], 0.75f);
}

TEST_F(LoadingPassTest, ABrokenFileIsNamedAndLoadingGoesOn) {
    writeFile("data/bad.png", "not a picture");
    writeFile("data/good.png", pngBytes(1, 1, PNG_COLOR_TYPE_RGB, 8, {1, 1, 1}));
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    const unsigned texturesBefore = tarnix::image.getImageCount();
    testing::internal::CaptureStderr();
    tarnix::init.loadDataFiles();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("tarnix: bad.png: damaged picture", 0), 0u) << err;
    EXPECT_EQ(tarnix::image.getImageCount(), texturesBefore + 1);
}

TEST_F(LoadingPassTest, EscapeEndsTheProgramWithStatusZero) {
    writeFile("data/a.txt", "a");
    writeFile("data/b.txt", "b");
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("exit handlers ran\n", stderr); });
            SDL_Event pending;
            while (SDL_PollEvent(&pending)) {
            }
            SDL_Event escape = {};
            escape.type = SDL_KEYDOWN;
            escape.key.keysym.sym = SDLK_ESCAPE;
            SDL_PushEvent(&escape);
            tarnix::init.loadDataFiles();
            std::fputs("loading went on\n", stderr);
        },
        testing::ExitedWithCode(0), "(^|\n)exit handlers ran\n$");
}
