// Sound on SDL_mixer with SDL's disk audio driver, which writes what is played
// to a file instead of a sound card.

#include "engine/media/Sound.h"

#include "engine/core/Init.h"
#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace testsupport;

namespace {

class SoundTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (directory.path() + "/played.raw").c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "1", 1);
        device.init();
        ASSERT_TRUE(device.isOpen());
    }
    void TearDown() override {
        device.close();
        SDL_Quit();
        tarnix::init.forgetDataFiles();
    }

    // Plays for `milliseconds`, then closes the device; the samples written.
    std::string playedFor(unsigned milliseconds) {
        SDL_Delay(milliseconds);
        device.close();
        return fileContent(directory.path() + "/played.raw");
    }

    WorkingDirectory directory;
    tarnix::Sound device;
};

bool hasSound(const std::string& samples) {
    for (char byte : samples)
        if (byte != 0)
            return true;
    return false;
}

}  // namespace

TEST_F(SoundTest, WavFilesAreEffectsAndEverythingElseIsMusic) {
    writeFile("data/a.ogg", oggBytes(0.2, 440));
    writeFile("data/b.wav", wavBytes(0.1, 440));
    writeFile("data/c.OGG", oggBytes(0.1, 220));
    writeFile("data/d.WAV", wavBytes(0.1, 220));
    for (const char* name : {"a.ogg", "b.wav", "c.OGG", "d.WAV"})
        device.load(name);
    ASSERT_EQ(device.getMusicCount(), 2u);
    ASSERT_EQ(device.getSoundCount(), 2u);
    EXPECT_EQ(device.getMusic(0).name, "a.ogg");
    EXPECT_EQ(device.getMusic(1).name, "c.OGG");
    EXPECT_EQ(device.getSound(0).name, "b.wav");
    EXPECT_EQ(device.getSound(1).name, "d.WAV");
}

TEST_F(SoundTest, FilesTheDecoderRejectsAreNamedAndNotRegistered) {
    writeFile("data/c.mp3", mp3Bytes(40));  // this SDL_mixer decodes no MP3 samples
    writeFile("data/noise.ogg", "OggS but nothing of a stream");
    testing::internal::CaptureStderr();
    device.load("c.mp3");
    device.load("noise.ogg");
    device.load("absent.wav");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(device.getMusicCount() + device.getSoundCount(), 0u);
    EXPECT_NE(err.find("tarnix: c.mp3: cannot decode the sound: "), std::string::npos) << err;
    EXPECT_NE(err.find("tarnix: noise.ogg: cannot decode the sound: "), std::string::npos) << err;
    EXPECT_NE(err.find("tarnix: absent.wav: cannot open the sound\n"), std::string::npos) << err;
}

TEST_F(SoundTest, PlayingTrackZeroReachesTheOutput) {
    writeFile("data/tune.ogg", oggBytes(0.5, 440));
    device.load("tune.ogg");
    device.setMusicLooping(true);
    device.play(0);
    EXPECT_TRUE(hasSound(playedFor(400)));
}

TEST_F(SoundTest, NothingPlayedIsSilence) {
    writeFile("data/tune.ogg", oggBytes(0.5, 440));
    device.load("tune.ogg");
    device.play(1);           // out of range: nothing
    device.playSound(0u);     // no effects: nothing
    device.playMusic("other.ogg");
    EXPECT_EQ(Mix_Playing(-1), 0);
    const std::string samples = playedFor(300);
    EXPECT_FALSE(samples.empty());
    EXPECT_FALSE(hasSound(samples));
}

TEST_F(SoundTest, LoopingTracksKeepPlayingAndOthersEnd) {
    writeFile("data/short.ogg", oggBytes(0.1, 440));
    device.load("short.ogg");
    ASSERT_EQ(device.getMusicCount(), 1u);

    device.setMusicLooping(false);
    EXPECT_FALSE(device.isMusicLooping());
    device.play(0);
    EXPECT_EQ(Mix_Playing(-1), 1);
    for (int waited = 0; waited < 5000 && Mix_Playing(-1) > 0; waited += 20)
        SDL_Delay(20);
    EXPECT_EQ(Mix_Playing(-1), 0) << "a track played once has ended";

    device.setMusicLooping(true);
    EXPECT_TRUE(device.isMusicLooping());
    device.playMusic("short.ogg");
    SDL_Delay(600);  // six times the track's length
    EXPECT_EQ(Mix_Playing(-1), 1) << "a looping track is still playing";
    device.stop();
    EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(SoundTest, VolumesAreFractionsOfTheMixerMaximum) {
    device.setSoundVolume(0.5f);
    EXPECT_EQ(Mix_Volume(0, -1), 64);
    device.setSoundVolume(0.999f);
    EXPECT_EQ(Mix_Volume(3, -1), 127);
    EXPECT_EQ(device.getSoundVolume(), 0.999f);
    device.setMusicVolume(0.5f);
    EXPECT_EQ(Mix_VolumeMusic(-1), 64);
    EXPECT_EQ(device.getMusicVolume(), 0.5f);
}

TEST_F(SoundTest, PauseHoldsEveryChannel) {
    writeFile("data/b.wav", wavBytes(1.0, 440));
    device.load("b.wav");
    device.playSound("b.wav");
    device.pause(true);
    EXPECT_EQ(Mix_Paused(-1), 1);
    device.pause(false);
    EXPECT_EQ(Mix_Paused(-1), 0);
}

TEST_F(SoundTest, EveryCallAfterCloseIsHarmless) {
    writeFile("data/b.wav", wavBytes(0.1, 440));
    device.load("b.wav");
    device.close();
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.getSoundCount(), 0u);
    device.close();
    device.playSound(0u);
    device.pause(true);
    device.stop();
    device.setPosition(1.5f);
    device.setSoundVolume(0.5f);
    device.setMusicVolume(0.5f);
    EXPECT_EQ(device.getSoundVolume(), 0.5f);
}

TEST(SoundWithoutDevice, SaysSoOnceAndLoadsNothing) {
    WorkingDirectory directory;
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    writeFile("data/b.wav", wavBytes(0.1, 440));
    tarnix::Sound silent;
    testing::internal::CaptureStderr();
    silent.init();
    silent.load("b.wav");
    silent.play(0);
    silent.pause(true);
    silent.close();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("tarnix: no audio device, playing without sound: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_EQ(silent.getSoundCount(), 0u);
    SDL_Quit();
}
