#pragma once

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

// The audio device and every loaded sound file.
class Sound {
public:
    // Opens the device: 44100 Hz, signed 16-bit little-endian, stereo, 4096-frame
    // buffer. A device that does not open leaves the engine silent; one line on
    // standard error says so.
    void init();
    // Halts all playback, frees every sample, empties both lists and closes the device.
    void close();

    // Pauses (true) or resumes (false) every mixing channel, then the music stream.
    void pause(bool on);
    // Halts every mixing channel, then the music stream.
    void stop();

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

private:
    std::vector<SoundContainer> sounds;  // effects, in load order
    std::vector<MusicContainer> music;   // tracks, in load order
    float soundVolume = 1.0f;
    float musicVolume = 1.0f;
    std::int32_t frequency = 44100;      // Hz
    std::int32_t channels = 2;           // stereo
    std::int32_t chunkSize = 4096;       // sample frames per mixer buffer
    std::int32_t musicLoops = 0;         // -1 loops forever, 0 plays once
    std::uint16_t format = 0x8010;       // AUDIO_S16LSB
};

extern Sound sound;

}  // namespace tarnix
