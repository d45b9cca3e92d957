#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/io/LoadingBar.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "support/GlState.h"
#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <SDL.h>
#include <png.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

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

// The sound half of a pass needs an open device: without one the engine
// stays silent and loads no sound, and there would be nothing to check. When
// the device SDL was given does not open, SDL's dummy driver (always there)
// is opened instead, on an audio subsystem started again: SDL keeps one that
// found no driver as started.
void openSoundDevice() {
    if (tarnix::sound.isOpen())
        return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    tarnix::sound.init();
    ASSERT_TRUE(tarnix::sound.isOpen()) << "not even SDL's dummy audio driver opens";
}

// Enough to keep the worker threads busy while the pass goes on: pictures
// p00.png .. of a grey level each (their number), and between them longer
// Ogg sounds s00.ogg .., registered in name order with the pictures.
void writeManyMediaFiles(int pictures, int sounds) {
    for (int i = 0; i < pictures; ++i) {
        const auto level = static_cast<std::uint16_t>(i * 255 / pictures);
        char name[32];
        std::snprintf(name, sizeof name, "data/p%02d.png", i);
        writeFile(name, pngBytes(256, 256, PNG_COLOR_TYPE_RGB, 8, std::vector<std::uint16_t>(256 * 256 * 3, level)));
    }
    for (int i = 0; i < sounds; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "data/q%02d.ogg", i);
        writeFile(name, oggBytes(2.0, 200 + 50 * i));
    }
}

// Loads data/ in a child process after `event` is queued, with quit
// requests ending the program or not; the child's exit handlers say so.
// Its exit handler closes the sound as the program's does: on SDL 2's SDL 1.2
// layer the audio thread would otherwise call into that layer after its
// library has been finalised. The child ends without running destructors, so
// its handlers also remove the working directory the fixture made in it.
void loadWithEventQueued(Uint8 event, bool quitEndsProgram) {
    static std::string childDirectory;
    childDirectory = std::filesystem::current_path().string();
    std::atexit([] {
        tarnix::sound.close();
        std::error_code ignored;
        std::filesystem::remove_all(childDirectory, ignored);
        std::fputs("exit handlers ran\n", stderr);
    });
    std::at_quick_exit([] {
        std::error_code ignored;
        std::filesystem::remove_all(childDirectory, ignored);
    });
    SDL_Event pending;
    while (SDL_PollEvent(&pending)) {
    }
    SDL_Event queued = {};
    queued.type = event;
    queued.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&queued);
    tarnix::input.setQuitEndsProgram(quitEndsProgram);
    const unsigned imagesBefore = tarnix::image.getImageCount();
    const bool loaded = tarnix::init.loadDataFiles();
    std::fprintf(stderr, "loading %s with %u of 40 pictures, quit %s\n", loaded ? "went on" : "stopped",
                 tarnix::image.getImageCount() - imagesBefore, tarnix::input.quitRequested() ? "noted" : "not seen");
    std::quick_exit(tarnix::input.getQuitEndsProgram() == quitEndsProgram ? 3 : 4);
}

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

// Decoded ahead on the workers, the files still come in as the registry
// lists them: each picture at the index its name gives, each sound in turn.
TEST_F(LoadingPassTest, ManyPicturesAndSoundsLoadInRegistryOrder) {
    ASSERT_NO_FATAL_FAILURE(openSoundDevice());
    writeManyMediaFiles(40, 6);
    writeFile("data/r.wav", wavBytes(0.2, 440));
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    const int firstImage = static_cast<int>(tarnix::image.getImageCount());
    const std::size_t firstMusic = tarnix::sound.getMusicCount();
    ASSERT_TRUE(tarnix::init.loadDataFiles());
    ASSERT_EQ(tarnix::image.getImageCount(), static_cast<unsigned>(firstImage + 40));
    for (int i = 0; i < 40; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p%02d.png", i);
        EXPECT_EQ(tarnix::image.getTexture(firstImage + i)->name, name);
        const tarnix::ImageData* data = tarnix::image.getImageData(firstImage + i);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->pixels[0] & 0xFF, static_cast<std::uint32_t>(i * 255 / 40)) << name;
    }
    ASSERT_EQ(tarnix::sound.getMusicCount(), firstMusic + 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(tarnix::sound.getMusic(firstMusic + i).name, "q0" + std::to_string(i) + ".ogg");
    EXPECT_EQ(tarnix::sound.getSound(tarnix::sound.getSoundCount() - 1).name, "r.wav");
}

TEST_F(LoadingPassTest, EveryRegisteredNameGetsABarFrameAndItsLoader) {
    ASSERT_NO_FATAL_FAILURE(openSoundDevice());
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
    EXPECT_EQ(tarnix::sound.getSoundCount(), soundsBefore + 1);
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

// Whatever ends the pass early (Escape, or the window closed) while the
// workers still decode, they are stopped first: the process ends, exit
// handlers and all, with status 0 (the sanitizer build would catch a worker
// reading what the exit tears down); what they had half decoded is given up
// without a word. Where a quit request must not end the
// program (a capture), the pass stops and returns with it noted.
TEST_F(LoadingPassTest, EscapeAndAQuitRequestStopTheBusyWorkersFirst) {
    writeManyMediaFiles(40, 6);
    ASSERT_TRUE(tarnix::init.readDirectoryContent("data/"));
    // Nothing but the exit handlers' line (and the test program's own start,
    // which runs again in the child, looking for a data folder it lacks).
    const char* onlyTheExit = "^([^\n]*cannot list the directory[^\n]*\n)?exit handlers ran\n$";
    EXPECT_EXIT(loadWithEventQueued(SDL_KEYDOWN, true), testing::ExitedWithCode(0), onlyTheExit);
    EXPECT_EXIT(loadWithEventQueued(SDL_QUIT, true), testing::ExitedWithCode(0), onlyTheExit);
    EXPECT_EXIT(loadWithEventQueued(SDL_QUIT, false), testing::ExitedWithCode(3),
                "(^|\n)loading stopped with 0 of 40 pictures, quit noted\n$");
}
