#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct Mix_Chunk;

namespace tarnix {

// One loaded sound effect: the data-file name and its fully decoded sample.
struct SoundContainer {
    std::string name;
    Mix_Chunk* chunk = nullptr;  // owned; freed by Sound::close()
};

// One loaded music track; tracks are decoded whole and played on ordinary
// mixing channels like effects, never streamed.
struct MusicContainer {
    std::string name;
    Mix_Chunk* chunk = nullptr;  // owned; freed by Sound::close()
};

// A sound file decoded and not yet added to the lists: load() in two steps,
// so that decoding can run on another thread.
struct DecodedSound {
    std::string name;
    Mix_Chunk* chunk = nullptr;  // null when it did not decode
};

// The audio device and every loaded sound file.
class Sound {
public:
    // Opens the device: 44100 Hz, signed 16-bit little-endian, stereo, 512-frame
    // buffer. A device that does not open leaves the engine silent; one line on
    // standard error says so, and nothing is loaded or played afterwards.
    void init();
    // How long a sound started now takes to be heard, on average: the wait
    // for the buffer it is mixed into and the buffer the device plays before
    // it, one and a half buffers of 512 frames (17 ms); 0 while no device is
    // open. The demo clock waits this long when it starts.
    unsigned latencyMs() const;
    // Halts all playback, frees every sample, empties both lists and closes the device.
    void close();
    // True between a successful init() and close().
    bool isOpen() const;

    // Decodes a sound data file whole: a name ending in "wav" or "WAV" becomes
    // a sound effect, any other a music track. A file that does not open or
    // decode adds nothing (one line on standard error says why).
    void load(const char* name);
    // load()'s first half, safe on any thread while the device stays open
    // (decodes run one at a time: the mixer loads its decoders on first use).
    // A chunk of null after one line on standard error; null and silent when
    // `abandon` (if given) turns true before the decode is done, which then
    // ends at its next read of the file.
    DecodedSound decode(const char* name, const std::atomic<bool>* abandon = nullptr) const;
    // load()'s second half, on the thread that plays: appends the decoded
    // sound as an effect or a track; a null chunk adds nothing.
    void add(DecodedSound decoded);
    // Decodes the sound file `name` again and puts it in place of the loaded
    // effect or track of that name; all playback stops. False, the old sample
    // kept, when none has that name or the file does not decode (one line on
    // standard error either way).
    bool reload(const char* name);
    // Plays effect i once; nothing when i is out of range.
    void playSound(unsigned i);
    // Plays once every effect with this name.
    void playSound(const char* name);
    // Plays track i with the music loop count; nothing when i is out of range.
    void playMusic(unsigned i);
    void play(unsigned i);
    // Plays every track with this name.
    void playMusic(const char* name);
    // Plays track i with the music loop count as if it had been playing since
    // `ms` ago: it starts that far in (wrapped by the track's length) and
    // loops over the whole track. At a `speed` other than 1 the track is
    // played that much faster or slower (pitch and all, for the development
    // mode's slow motion). Nothing when i is out of range.
    void playMusicFrom(unsigned i, unsigned ms, double speed = 1.0);

    // The decoded samples of track i as the device plays them: interleaved
    // signed 16-bit, `channels` per frame at `rate` Hz. False (nothing
    // changed) when i is out of range or the device is closed.
    bool musicSamples(unsigned i, std::vector<std::int16_t>& samples, int& rate, int& channels) const;

    // Pauses (true) or resumes (false) every mixing channel, then the music stream.
    void pause(bool on);
    // Halts every mixing channel, then the music stream.
    void stop();
    // Stops every channel and rewinds the music stream to a whole second.
    // Tracks play on mixing channels, so in effect this stops all playback.
    void setPosition(float seconds);

    // Loop count for tracks started afterwards: -1 (forever) when on, else 0.
    void setMusicLooping(bool on);
    bool isMusicLooping() const;

    // Volumes are fractions of the mixer's maximum (1.0 = 128), not clamped.
    void setSoundVolume(float volume);
    void setMusicVolume(float volume);
    float getSoundVolume() const;
    float getMusicVolume() const;

    std::size_t getSoundCount() const;
    std::size_t getMusicCount() const;
    const SoundContainer& getSound(std::size_t i) const;   // i below getSoundCount()
    const MusicContainer& getMusic(std::size_t i) const;   // i below getMusicCount()

private:
    std::vector<SoundContainer> sounds;  // effects, in load order
    std::vector<MusicContainer> music;   // tracks, in load order
    // A track turned to start part-way through, played by playMusicFrom():
    // its samples and the mixer's chunk over them.
    std::vector<std::uint8_t> turnedSamples;
    Mix_Chunk* turnedTrack = nullptr;
    float soundVolume = 1.0f;
    float musicVolume = 1.0f;
    std::int32_t frequency = 44100;      // Hz
    std::int32_t channels = 2;           // stereo
    // Sample frames per mixer buffer: small, so that the music is heard soon
    // after it is mixed (within a frame of the picture, with the clock's
    // wait), large enough that the mixer, woken every 11.6 ms, keeps up while
    // a software renderer takes both cores.
    std::int32_t chunkSize = 512;
    std::int32_t musicLoops = 0;         // -1 loops forever, 0 plays once
    std::uint16_t format = 0x8010;       // AUDIO_S16LSB
    bool deviceOpen = false;
};

extern Sound sound;

}  // namespace tarnix
