// The development mode on the demo's own data, in a window: keys through
// SDL's event queue, frames read back as they are presented, and data files
// rewritten on disk while it runs.

#include "app/demo/Demo.h"
#include "app/dev/DevMode.h"
#include "app/dev/LiveCode.h"
#include "app/demo/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "support/Figures.h"
#include "support/MediaFiles.h"
#include "tools/datagen/StudioMesh.h"
#include "support/Process.h"
#include "support/TemporaryDirectory.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// A data directory of its own (the built pack, linked), so that loose files
// written here touch nothing else.
std::string dataHome;
DevMode* dev = nullptr;

std::vector<unsigned char> framePixels() {
    std::vector<unsigned char> rgb(640 * 480 * 3);
    tarnix::setFrameObserver([&rgb] {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    });
    EXPECT_TRUE(dev->frame());
    tarnix::setFrameObserver(nullptr);
    return rgb;
}

// A left click at window pixel (x, y), counted from the top left.
void click(int x, int y) {
    SDL_Event event = {};
    event.type = event.button.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = SDL_BUTTON_LEFT;
    event.button.x = static_cast<Uint16>(x);
    event.button.y = static_cast<Uint16>(y);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void press(SDLKey key) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
    event.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

std::vector<std::uint32_t> texturePixels(const char* name) {
    const tarnix::Texture* texture = tarnix::image.getTexture(name);
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return pixels;
}

// The music as loaded: interleaved 16-bit samples and their layout.
struct Track {
    std::vector<std::int16_t> samples;
    int rate = 0, channels = 0;

    // Where the track stands at demo time `ms`, in samples (it loops).
    std::size_t at(unsigned ms) const {
        const std::size_t frames = samples.size() / channels;
        return static_cast<std::size_t>(static_cast<unsigned long long>(ms) * rate / 1000 % frames) * channels;
    }
};

std::vector<std::int16_t> samplesOf(const std::string& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                               static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return samples;
}

// The music played from `ms` (a tenth of a second of it, exactly) at
// `speed` is in what was played from byte `from` on: at another speed than 1
// each frame played is the track's frame at or before its place.
bool playsFrom(const Track& track, unsigned ms, std::size_t from, double speed = 1.0) {
    const std::string played = readWholeFile(dataHome + "/played.raw");
    const std::vector<std::int16_t> out = samplesOf(played.substr(std::min(from, played.size())));
    const std::size_t frames = track.samples.size() / track.channels, first = track.at(ms) / track.channels;
    std::vector<std::int16_t> expected;
    for (int k = 0; k < track.rate / 10; ++k) {
        const std::size_t frame = (first + static_cast<std::size_t>(k * speed)) % frames;
        expected.insert(expected.end(), track.samples.begin() + static_cast<std::ptrdiff_t>(frame * track.channels),
                        track.samples.begin() + static_cast<std::ptrdiff_t>((frame + 1) * track.channels));
    }
    return std::search(out.begin(), out.end(), expected.begin(), expected.end()) != out.end();
}

std::size_t playedBytes() {
    std::error_code error;
    const auto size = std::filesystem::file_size(dataHome + "/played.raw", error);
    return error ? 0 : static_cast<std::size_t>(size);
}

// Waits (5 s at most) until `seconds` more of the music has been played
// after byte `from`, however fast the audio thread writes it; false if it
// was not.
bool waitForPlayed(const Track& track, std::size_t from, double seconds) {
    const auto wanted = from + static_cast<std::size_t>(seconds * track.rate) * track.channels * 2;
    for (int waited = 0; waited < 5000 && playedBytes() < wanted; waited += 10)
        SDL_Delay(10);
    return playedBytes() >= wanted;
}

// Waits (5 s at most) until the music played after byte `from` holds the
// track from `ms` on, however long the program took to start it there.
bool waitUntilPlays(const Track& track, unsigned ms, std::size_t from, double speed = 1.0) {
    for (int waited = 0; waited < 5000; waited += 10) {
        if (playsFrom(track, ms, from, speed))
            return true;
        SDL_Delay(10);
    }
    return false;
}

// Waits until SDL's tick count, which the development mode's clock reads,
// has moved on by `ms`.
void letTicksPass(unsigned ms) {
    const unsigned from = SDL_GetTicks();
    while (SDL_GetTicks() - from < ms)
        SDL_Delay(1);
}

class DevEnvironment : public testing::Environment {
public:
    void SetUp() override {
        dataHome = makeTemporaryDirectory();
        std::filesystem::create_directory(dataHome + "/data");
        std::filesystem::create_symlink(std::string(TARNIX_DEMO_DIRECTORY) + "/data/datafile.dat",
                                        dataHome + "/data/datafile.dat");
        // A loose copy of one of the pack's files, the same bytes, there
        // before the development mode starts: it is the one loaded.
        std::filesystem::copy_file(std::string(TARNIX_DEMO_DIRECTORY) + "/../demo-data/data/scrolleri.txt",
                                   dataHome + "/data/scrolleri.txt");
        ASSERT_EQ(chdir(dataHome.c_str()), 0);
        // What the music plays goes to a file, to be told apart.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dataHome + "/played.raw").c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);  // a buffer each 5 ms, not the driver's 150
        tarnix::window.setFullscreen(false);
        dev = new DevMode;
        dev->prepare();
        ASSERT_TRUE(setUpDemo()) << "the demo's data is built with the project (target demo-data)";
        EXPECT_EQ(tarnix::init.getDataPackDataFile("scrolleri.txt"), nullptr) << "the pack's entry, not the loose file";
        EXPECT_NE(tarnix::init.getDataPackDataFile("kelbo.ogg"), nullptr);
        testing::internal::CaptureStdout();
        dev->start(0);
        EXPECT_NE(testing::internal::GetCapturedStdout().find("datafile.dat is here"), std::string::npos);
    }
    void TearDown() override {
        shutDownDemo();
        delete dev;
        tarnix::init.close();
        std::filesystem::remove_all(dataHome);
    }
};

}  // namespace

// A saved header rebuilds the code as a saved source does (a header's
// extension is shorter than the three letters a data file's has); an editor's
// backups and swap files do not.
TEST(LiveCodeTest, SavedSourcesAndHeadersRebuildTheCodeAndEditorsFilesDoNot) {
    for (const char* name : {"Timeline.cpp", "Timeline.h", "a.h"})
        EXPECT_TRUE(LiveCode::rebuildsAfterSaving(name)) << name;
    for (const char* name : {"Timeline.cpp~", ".Timeline.cpp.swp", "Timeline.h.orig", "h", ".h", "notes.txt", "graph"})
        EXPECT_FALSE(LiveCode::rebuildsAfterSaving(name)) << name;
}

// Space holds the picture and the clock (frames drawn while paused are the
// same), the arrows and Home jump, comma and period step along the 60 Hz frame
// grid, the caption tells it all, and Escape ends.
TEST(DevModeTest, KeysPauseSeekAndStepAndTheCaptionSaysWhere) {
    if (dev->isPaused())
        dev->togglePause();
    press(SDLK_PAGEDOWN);
    framePixels();
    EXPECT_GE(dev->getTime(), 10000u);
    press(SDLK_SPACE);
    framePixels();
    ASSERT_TRUE(dev->isPaused());
    const unsigned held = dev->getTime();
    const std::vector<unsigned char> first = framePixels();
    letTicksPass(50);
    EXPECT_EQ(framePixels(), first);  // the wobble, the jitter and the head wait too
    EXPECT_EQ(dev->getTime(), held);
    EXPECT_NE(dev->caption().find(" - paused - "), std::string::npos) << dev->caption();
    EXPECT_NE(dev->caption().find(sectionName(sectionAt(held))), std::string::npos) << dev->caption();
    press(SDLK_PAGEUP);
    framePixels();
    EXPECT_EQ(dev->getTime(), held - 10000);

    press(SDLK_HOME);
    press(SDLK_RIGHT);
    press(SDLK_RIGHT);
    press(SDLK_LEFT);
    framePixels();
    EXPECT_EQ(dev->getTime(), 1000u);
    press(SDLK_PERIOD);
    press(SDLK_PERIOD);
    framePixels();
    EXPECT_EQ(dev->getTime(), 1033u);  // frames at 1000, 1016, 1033 ms
    press(SDLK_COMMA);
    framePixels();
    EXPECT_EQ(dev->getTime(), 1016u);
    EXPECT_EQ(std::string(tarnix::window.getTitle()).rfind("Kelbo vs. Vistral - 1.016 s - row 17 - opening B - paused - ", 0), 0u)
        << tarnix::window.getTitle();

    // Running again from where it stood: past it, by no more than the real
    // time since Space was taken.
    press(SDLK_SPACE);
    const unsigned resumed = SDL_GetTicks();
    framePixels();
    EXPECT_FALSE(dev->isPaused());
    for (int frames = 0; frames < 500 && dev->getTime() <= 1016u; ++frames)
        framePixels();
    EXPECT_GT(dev->getTime(), 1016u);
    EXPECT_LE(dev->getTime() - 1016u, SDL_GetTicks() - resumed);
    press(SDLK_ESCAPE);
    EXPECT_FALSE(dev->frame());
}

// A frame reached by a seek is the frame --start draws at that time, pixel
// for pixel, whatever was drawn before the seek: from a time in every section
// to a time in every other one, backwards and forwards, across the cloud's
// fade at 45 s and through the tunnel, which turns with the clock. Under the
// sanitizers a seek costs ten times as much and the memory it touches is the
// same for any pair of times: there, each time is left for and reached from
// its neighbours only.
// ctest labels: sdl-once
TEST(DevModeTest, EverySeekDrawsTheFrameStartDraws) {
#ifdef __SANITIZE_ADDRESS__
    const bool everyPair = false;
#else
    const bool everyPair = true;
#endif
    if (!dev->isPaused())
        dev->togglePause();
    const unsigned times[] = {300, 3000, 6400, 12345, 32187, 47000, 51000, 61234};
    std::map<unsigned, std::vector<unsigned char>> started;
    for (unsigned t : times) {
        const std::string capture = dataHome + "/capture-" + std::to_string(t);
        ProcessOptions options;
        options.workingDirectory = TARNIX_DEMO_DIRECTORY;
        const ProcessResult run = runProcess(
            TARNIX_EXECUTABLE, {"--capture", capture, "--start", std::to_string(t), "--until", std::to_string(t), "--quiet"},
            options);
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        std::unique_ptr<tarnix::ImageData> captured(tarnix::image.loadPNG((capture + "/frame_00000.png").c_str()));
        ASSERT_NE(captured, nullptr);
        std::vector<unsigned char>& rgb = started[t];
        for (std::uint32_t word : captured->pixels)  // both bottom row first
            for (int c = 0; c < 3; ++c)
                rgb.push_back(static_cast<unsigned char>(word >> (8 * c)));
    }
    int failing = 0;
    const std::size_t count = std::size(times);
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t j = 0; j < count; ++j) {
            const bool neighbours = j == (i + 1) % count || i == (j + 1) % count;
            if (i == j || (!everyPair && !neighbours))
                continue;
            const unsigned from = times[i], to = times[j];
            dev->seek(from);
            framePixels();
            framePixels();
            dev->seek(to);
            const std::vector<unsigned char> seeked = framePixels();
            long differing = 0;
            for (std::size_t i = 0; i < seeked.size(); ++i)
                differing += seeked[i] != started[to][i];
            EXPECT_EQ(differing, 0) << "from " << from << " ms to " << to << " ms";
            failing += differing != 0;
        }
    RecordProperty("seeks_differing", failing);
}

// The music follows the demo time: a capture's sound from --start is the
// track from that time, sample for sample, and the music played after a seek
// and after a pause goes on from the demo time it reached.
TEST(DevModeTest, TheMusicPlaysFromTheDemoTimeAfterStartSeekAndResume) {
    Track track;
    ASSERT_TRUE(tarnix::sound.musicSamples(0, track.samples, track.rate, track.channels));
    ASSERT_GT(track.samples.size(), 0u);
    ProcessOptions options;
    options.workingDirectory = TARNIX_DEMO_DIRECTORY;
    const std::string capture = dataHome + "/capture-music";
    ASSERT_EQ(runProcess(TARNIX_EXECUTABLE, {"--capture", capture, "--start", "70000", "--until", "71000", "--quiet"}, options)
                  .exitStatus,
              0);
    const std::vector<std::int16_t> captured = samplesOf(readWholeFile(capture + "/sound.wav").substr(44));
    ASSERT_EQ(captured.size(), static_cast<std::size_t>(61 * track.rate / 60 * track.channels));
    std::size_t matching = 0;
    for (std::size_t i = 0, from = track.at(70000); i < captured.size(); ++i)
        matching += captured[i] == track.samples[(from + i) % track.samples.size()];
    EXPECT_EQ(matching, captured.size());

    if (dev->isPaused())
        dev->togglePause();
    const std::size_t beforeSeek = playedBytes();
    dev->seek(40000);
    EXPECT_TRUE(waitUntilPlays(track, 40000, beforeSeek));
    EXPECT_FALSE(playsFrom(track, 41000, beforeSeek));  // the search tells times apart
    // Paused until what was mixed before the pause (a 512-frame buffer,
    // 12 ms) has been played out: what follows the resume is then all new.
    const std::size_t atPause = playedBytes();
    dev->togglePause();
    ASSERT_TRUE(waitForPlayed(track, atPause, 0.2));
    const unsigned held = dev->getTime();
    const std::size_t beforeResume = playedBytes();
    dev->togglePause();
    EXPECT_TRUE(waitUntilPlays(track, held, beforeResume)) << "resumed at " << held;
}

// [ and ] mark a loop that play keeps to, the music starting again at its
// start; backslash lets play go on. Minus and equals halve and double the
// speed (a quarter to twice), the demo time and the music following. T shows
// the strip, where the current time stands as a white line and a click
// seeks. The caption says it all.
TEST(DevModeTest, TheLoopHoldsThePlaySlowMotionSlowsItAndTheStripSeeks) {
    Track track;
    ASSERT_TRUE(tarnix::sound.musicSamples(0, track.samples, track.rate, track.channels));
    if (dev->isPaused())
        dev->togglePause();
    dev->seek(2000);
    press(SDLK_LEFTBRACKET);
    framePixels();
    const unsigned loopStart = dev->getTime();
    dev->seek(loopStart - 500);
    press(SDLK_RIGHTBRACKET);  // before the start: nothing
    framePixels();
    EXPECT_FALSE(dev->loopEndSet());
    dev->seek(loopStart + 400);
    press(SDLK_RIGHTBRACKET);
    framePixels();
    ASSERT_TRUE(dev->loopEndSet());
    const unsigned loopEnd = dev->loopEnd();
    EXPECT_EQ(dev->loopStart(), loopStart);
    EXPECT_GE(loopEnd, loopStart + 400);
    EXPECT_NE(dev->caption().find(" - loop "), std::string::npos) << dev->caption();

    dev->seek(loopEnd - 100);
    const std::size_t beforeWrap = playedBytes();
    bool wrapped = false;
    for (int frames = 0; frames < 300 && !wrapped; ++frames) {
        framePixels();
        EXPECT_GE(dev->getTime(), loopStart);
        EXPECT_LT(dev->getTime(), loopEnd);
        wrapped = dev->getTime() < loopEnd - 100;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_TRUE(waitUntilPlays(track, loopStart, beforeWrap)) << "the music from the loop's start";
    press(SDLK_BACKSLASH);
    for (int frames = 0; frames < 300 && dev->getTime() <= loopEnd; ++frames)
        framePixels();
    EXPECT_GT(dev->getTime(), loopEnd);
    EXPECT_EQ(dev->caption().find(" - loop"), std::string::npos) << dev->caption();

    const std::size_t beforeSlow = playedBytes();
    press(SDLK_MINUS);
    framePixels();
    EXPECT_EQ(dev->getSpeed(), -1);
    EXPECT_NE(dev->caption().find(" - 0.5x - "), std::string::npos) << dev->caption();
    EXPECT_TRUE(waitUntilPlays(track, dev->getTime(), beforeSlow, 0.5)) << "the music at half speed";
    framePixels();
    const unsigned demoFrom = dev->getTime(), realFrom = SDL_GetTicks();
    while (SDL_GetTicks() - realFrom < 1500)
        framePixels();
    const double demoRun = dev->getTime() - demoFrom, realRun = SDL_GetTicks() - realFrom;
    // Within a frame's bookkeeping on a loaded machine; the whole speed
    // would be off by 750 ms.
    EXPECT_NEAR(demoRun, realRun / 2, 50) << "in " << realRun << " ms";
    reportFigure("half_speed_demo_ms_in_1000_real", demoRun * 1000 / realRun);
    for (SDLKey key : {SDLK_MINUS, SDLK_MINUS})
        press(key);
    framePixels();
    EXPECT_EQ(dev->getSpeed(), -2);
    for (SDLKey key : {SDLK_EQUALS, SDLK_EQUALS, SDLK_EQUALS, SDLK_EQUALS})
        press(key);
    framePixels();
    EXPECT_EQ(dev->getSpeed(), 1);
    EXPECT_NE(dev->caption().find(" - 2x - "), std::string::npos) << dev->caption();
    press(SDLK_MINUS);
    framePixels();
    EXPECT_EQ(dev->getSpeed(), 0);

    dev->togglePause();
    dev->seek(30000);
    const std::vector<unsigned char> plain = framePixels();
    press(SDLK_t);
    framePixels();
    const std::vector<unsigned char> withStrip = framePixels();
    const auto pixel = [](const std::vector<unsigned char>& rgb, int x, int fromBottom) {
        const std::size_t at = (static_cast<std::size_t>(fromBottom) * 640 + x) * 3;
        return std::vector<unsigned char>(rgb.begin() + at, rgb.begin() + at + 3);
    };
    EXPECT_EQ(pixel(withStrip, 320, 18), std::vector<unsigned char>(3, 255)) << "the time, half-way along";
    EXPECT_TRUE(pixel(withStrip, 100, 8) != pixel(plain, 100, 8));
    EXPECT_EQ(pixel(withStrip, 100, 240), pixel(plain, 100, 240));
    click(480, 100);  // above the strip
    framePixels();
    EXPECT_EQ(dev->getTime(), 30000u);
    click(480, 475);
    framePixels();
    EXPECT_EQ(dev->getTime(), 45000u);
    press(SDLK_t);
    click(160, 475);  // the strip is gone
    framePixels();
    EXPECT_EQ(dev->getTime(), 45000u);
}

// A picture rewritten on disk is loaded into its texture (the same object);
// a damaged one keeps the picture there with one line naming it.
TEST(DevModeTest, AChangedPictureIsLoadedAgainAndADamagedOneKeepsTheOld) {
    const tarnix::Texture* heart = tarnix::image.getTexture("heArt.png");
    const unsigned id = heart->id;
    std::vector<std::uint16_t> green(64 * 64 * 4);
    for (std::size_t i = 0; i < green.size(); i += 4) {
        green[i + 1] = 200;
        green[i + 3] = 255;
    }
    writeFile("data/heArt.png", pngBytes(64, 64, PNG_COLOR_TYPE_RGB_ALPHA, 8, green));
    testing::internal::CaptureStdout();
    framePixels();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("heArt.png loaded again"), std::string::npos);
    EXPECT_EQ(tarnix::image.getTexture("heArt.png")->id, id);
    const std::vector<std::uint32_t> loaded = texturePixels("heArt.png");
    ASSERT_FALSE(loaded.empty());
    EXPECT_EQ(loaded[0], 0xFF00C800u);  // R 0, G 200, B 0, A 255

    if (!dev->isPaused())
        dev->togglePause();
    const std::vector<unsigned char> before = framePixels();
    writeFile("data/heArt.png", "not a picture");
    testing::internal::CaptureStderr();
    framePixels();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("tarnix: heArt.png: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(texturePixels("heArt.png"), loaded);
    // The same line over the picture, along its top, until a good load.
    EXPECT_EQ(dev->message() + "\n", err);
    const std::vector<unsigned char> withMessage = framePixels();
    const std::size_t topRows = 640 * 3 * 14, picture = before.size();
    EXPECT_TRUE(std::equal(before.begin(), before.end() - topRows, withMessage.begin())) << "only the top rows";
    EXPECT_FALSE(std::equal(before.end() - topRows, before.end(), withMessage.end() - topRows));
    EXPECT_EQ(withMessage.size(), picture);

    writeFile("data/scrolleri.txt", "EDITED TEXT");
    framePixels();
    EXPECT_EQ(scrollerTextShown(), "EDITED TEXT");
    EXPECT_EQ(dev->message(), "");
    EXPECT_EQ(framePixels(), before);
}

// What people edit while the demo runs is loaded again: a 3D Studio model is
// converted and its mesh follows into the head effect, a music file replaces
// the track, and a file saved the careful way (written beside, renamed into
// place) counts as written.
TEST(DevModeTest, AModelItsMeshTheMusicAndARenamedFileAreLoadedAgain) {
    if (!dev->isPaused())
        dev->togglePause();
    dev->seek(17000);
    const std::vector<unsigned char> before = framePixels();
    datagen::StudioMesh head = datagen::greebleHead();
    for (float& coordinate : head.vertices)
        coordinate *= 0.5f;
    testing::internal::CaptureStdout();
    writeFile("data/greeble.3ds", datagen::studioFile(head));
    framePixels();  // converted into data/greeble.dvm
    framePixels();  // that change loads the mesh
    const std::vector<unsigned char> smaller = framePixels();
    writeFile("data/kelbo.ogg", oggBytes(1.0, 440));
    framePixels();
    writeFile("data/scroller.part", "RENAMED TEXT");
    std::filesystem::rename("data/scroller.part", "data/scrolleri.txt");
    framePixels();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("tarnix: greeble.3ds converted; its mesh follows\n"), std::string::npos) << out;
    EXPECT_NE(out.find("tarnix: greeble.dvm loaded again\n"), std::string::npos) << out;
    EXPECT_TRUE(smaller != before) << "the head is drawn from the new mesh";
    EXPECT_NE(out.find("tarnix: kelbo.ogg loaded again\n"), std::string::npos) << out;
    Track track;
    ASSERT_TRUE(tarnix::sound.musicSamples(0, track.samples, track.rate, track.channels));
    EXPECT_EQ(track.samples.size(), static_cast<std::size_t>(track.rate * track.channels));  // one second
    EXPECT_EQ(scrollerTextShown(), "RENAMED TEXT");
}

namespace {

// Set in the processes main() starts for one case each.
const char* const oneCaseVariable = "TARNIX_DEV_MODE_ONE_CASE";

// The cases the command line selects, "DevMode.Name", as the program itself
// lists them.
std::vector<std::string> selectedCases(const std::vector<std::string>& given) {
    std::vector<std::string> arguments = given;
    arguments.push_back("--gtest_list_tests");
    ProcessOptions options;
    options.set = {std::string(oneCaseVariable) + "=1"};
    const ProcessResult listing = runProcess("/proc/self/exe", arguments, options);
    std::vector<std::string> cases;
    std::string suite;
    std::size_t start = 0;
    for (std::size_t end; (end = listing.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = listing.out.substr(start, end - start);
        if (line.rfind("  ", 0) == 0)
            cases.push_back(suite + line.substr(2, line.find(' ', 2) - 2));
        else if (!line.empty() && line.back() == '.')
            suite = line;
    }
    return cases;
}

}  // namespace

// Each case runs in a process of its own, with a data folder of its own: a
// case rewrites the demo's files, and the engine keeps what it loaded from
// them, which no other case may see whatever their order. Asked for several
// cases (ctest asks for one at a time), the program runs itself once per case
// and fails if any of them does.
int main(int argc, char** argv) {
    const std::vector<std::string> given(argv + 1, argv + argc);
    testing::InitGoogleTest(&argc, argv);
    if (!std::getenv(oneCaseVariable) && !testing::FLAGS_gtest_list_tests) {
        const std::vector<std::string> cases = selectedCases(given);
        if (cases.size() > 1) {
            int failed = 0;
            for (const std::string& name : cases) {
                std::vector<std::string> arguments = given;
                arguments.push_back("--gtest_filter=" + name);
                ProcessOptions options;
                options.set = {std::string(oneCaseVariable) + "=1"};
                options.timeoutSeconds = 900;
                const ProcessResult run = runProcess("/proc/self/exe", arguments, options);
                std::fputs(run.out.c_str(), stdout);
                std::fputs(run.err.c_str(), stderr);
                std::fflush(stdout);
                failed += run.exitStatus != 0;
            }
            std::printf("%zu cases, each in a process of its own: %d failed\n", cases.size(), failed);
            return failed == 0 ? 0 : 1;
        }
    }
    testing::AddGlobalTestEnvironment(new DevEnvironment);
    return RUN_ALL_TESTS();
}
