// Sound on SDL_mixer with SDL's disk audio driver, which writes what is played
// to a file instead of a sound card.

#include "engine/media/Sound.h"

#include "engine/core/Init.h"
#include "engine/core/Timer.h"
#include "support/Figures.h"
#include "support/MediaFiles.h"
#include "support/TemporaryDirectory.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// A decode that may be given up reads the file through its own stream: gone
// on with, it gives the very samples of a plain decode; given up, nothing and
// no line (the loading pass gave it up for a stop).
TEST_F(SoundTest, ADecodeThatMayBeGivenUpIsThePlainOneUntilItIs) {
    writeFile("data/tune.ogg", oggBytes(1.0, 440));
    writeFile("data/beep.wav", wavBytes(0.3, 220));
    std::atomic<bool> givenUp{false};
    for (const char* name : {"tune.ogg", "beep.wav"}) {
        tarnix::DecodedSound plain = device.decode(name);
        tarnix::DecodedSound watched = device.decode(name, &givenUp);
        ASSERT_TRUE(plain.chunk && watched.chunk) << name;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(watched.chunk->abuf), watched.chunk->alen),
                  std::string(reinterpret_cast<char*>(plain.chunk->abuf), plain.chunk->alen)) << name;
        device.add(std::move(plain));
        device.add(std::move(watched));
    }
    givenUp = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(device.decode("tune.ogg", &givenUp).chunk, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
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

TEST(SoundWithoutDeviceTest, SaysSoOnceAndLoadsNothing) {
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

namespace {

using Clock = std::chrono::steady_clock;

// What the mixer hands over, timed where it leaves the mixer: the time the
// first sample at or above `level` was mixed at, given from SDL_mixer's
// post-mix effects; and the buffer's length in ms.
struct MixedStep {
    std::int16_t level = 0;
    std::atomic<bool> seen{false};
    Clock::time_point mixedAt;
    double bufferMs = 0;
};

void noteStep(int, void* stream, int length, void* step) {
    MixedStep& mixed = *static_cast<MixedStep*>(step);
    const Clock::time_point now = Clock::now();
    const auto* samples = static_cast<const std::int16_t*>(stream);
    const int frames = length / 4;
    for (int i = 0; i < frames && !mixed.seen; ++i)
        if (samples[2 * i] >= mixed.level) {
            mixed.bufferMs = frames * 1000.0 / 44100;
            mixed.mixedAt = now + std::chrono::microseconds(static_cast<long long>(i) * 1000000 / 44100);
            mixed.seen = true;
        }
}

// When the music's step at `stepMs` is heard, less when the demo clock shows
// that time, in ms (positive: the sound is late), the music played and the
// clock started as the demo starts them. The device is SDL's disk driver,
// paced like a sound card at a buffer each 12 ms; a buffer is heard once the
// device has played the one before it, as SDL's drivers hand them over
// (two periods, as its ALSA driver asks).
double heardLessShownMs(unsigned stepMs) {
    WorkingDirectory directory;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "12", 1);

    // 16-bit stereo at 44100 Hz: silence, then a step to a constant level.
    std::string track = wavBytes(0.3, 440);
    const std::size_t header = 44, stepFrame = stepMs * 44100 / 1000;
    for (std::size_t at = header, frame = 0; at + 4 <= track.size(); at += 4, ++frame) {
        const std::int16_t level = frame < stepFrame ? 0 : 8000;
        std::memcpy(&track[at], &level, 2);
        std::memcpy(&track[at + 2], &level, 2);
    }
    writeFile("data/step.mus", track);

    tarnix::sound.init();
    tarnix::sound.load("step.mus");
    MixedStep step;
    step.level = 4000;
    if (!Mix_RegisterEffect(MIX_CHANNEL_POST, noteStep, nullptr, &step))
        return 1e9;
    tarnix::sound.setMusicLooping(false);
    tarnix::sound.play(0);
    tarnix::timer.init();
    Clock::time_point shownAt;
    bool shown = false;
    for (const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(3);
         (!shown || !step.seen) && Clock::now() < giveUp;) {
        tarnix::timer.update();
        if (!shown && tarnix::timer.getTime() >= stepMs) {
            shownAt = Clock::now();
            shown = true;
        }
    }
    tarnix::sound.close();
    SDL_Quit();
    tarnix::init.forgetDataFiles();
    if (!shown || !step.seen)
        return 1e9;
    const Clock::time_point heardAt = step.mixedAt + std::chrono::microseconds(static_cast<long long>(step.bufferMs * 1000));
    return std::chrono::duration<double, std::milli>(heardAt - shownAt).count();
}

}  // namespace

// Live, the picture shows demo time t while the music heard is at t, within a
// frame at 60 Hz, wherever in the device's pace the music starts: the clock
// waits for the buffer the music is mixed into and the one the device plays
// before it. Measured eight times, each start falling elsewhere in the pace.
// A busy machine (the suite runs two tests at a time) delays the audio thread
// here, which a sound card's own clock would not: the run it delayed least is
// held to a frame, the median to two.
TEST(SoundAndClockTest, ThePictureShowsTheTimeOfTheMusicHeard) {
    std::vector<double> offsets;
    for (int run = 0; run < 8; ++run) {
        const double offset = heardLessShownMs(80);
        ASSERT_LT(offset, 1e8) << "the step was not mixed or not shown within 3 s";
        offsets.push_back(offset);
    }
    std::sort(offsets.begin(), offsets.end());
    const double median = (offsets[3] + offsets[4]) / 2, frame = 1000.0 / 60;
    reportFigure("sound_heard_less_shown_earliest", offsets.front(), "ms");
    reportFigure("sound_heard_less_shown_median", median, "ms");
    reportFigure("sound_heard_less_shown_latest", offsets.back(), "ms");
    EXPECT_LE(offsets.front(), frame) << "the sound trails the picture";
    EXPECT_GE(offsets.front(), -frame) << "the sound runs ahead of the picture";
    EXPECT_LE(median, 2 * frame) << "the sound trails the picture";
}
