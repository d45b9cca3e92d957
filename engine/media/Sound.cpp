#include "engine/media/Sound.h"

#include "engine/io/FileIO.h"
#include "engine/io/FileName.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cassert>
#include <cstdio>

namespace tarnix {

Sound sound;

namespace {

const int allChannels = -1;
const int firstFreeChannel = -1;
const int noTimeLimit = -1;

int mixerVolume(float volume) { return static_cast<int>(volume * MIX_MAX_VOLUME); }

void playOnFreeChannel(Mix_Chunk* chunk, int loops) { Mix_PlayChannelTimed(firstFreeChannel, chunk, loops, noTimeLimit); }

}  // namespace

// ---- Device ----

void Sound::init() {
    if (deviceOpen)
        return;
    deviceOpen = Mix_OpenAudio(frequency, format, channels, chunkSize) == 0;
    if (!deviceOpen)
        std::fprintf(stderr, "tarnix: no audio device, playing without sound: %s\n", Mix_GetError());
}

// SDL_mixer keeps its channel count after closing but frees the channels, so
// no channel call may reach it while the device is closed: every operation
// below checks deviceOpen first.
void Sound::close() {
    if (!deviceOpen)
        return;  // nothing can have been loaded
    Mix_HaltChannel(allChannels);
    Mix_HaltMusic();
    for (SoundContainer& effect : sounds)
        Mix_FreeChunk(effect.chunk);
    for (MusicContainer& track : music)
        Mix_FreeChunk(track.chunk);
    sounds.clear();
    music.clear();
    Mix_CloseAudio();
    deviceOpen = false;
}

bool Sound::isOpen() const { return deviceOpen; }

// ---- Loading ----

void Sound::load(const char* name) {
    if (!deviceOpen)
        return;  // already reported once by init()
    Mix_Chunk* chunk = nullptr;
    {
        FileIO file(name);
        if (!file) {
            std::fprintf(stderr, "tarnix: %s: cannot open the sound\n", name);
            return;
        }
        // SDL takes a non-const pointer but only reads; the memory stream is
        // freed by the loader (second argument 1), the bytes with `file`.
        SDL_RWops* memory = SDL_RWFromMem(const_cast<unsigned char*>(file.readFile()), static_cast<int>(file.getLength()));
        chunk = memory ? Mix_LoadWAV_RW(memory, 1) : nullptr;
    }
    if (!chunk) {
        std::fprintf(stderr, "tarnix: %s: cannot decode the sound: %s\n", name, Mix_GetError());
        return;
    }
    if (hasExtension(name, "wav"))
        sounds.push_back({name, chunk});
    else
        music.push_back({name, chunk});
}

// ---- Playing ----

void Sound::playSound(unsigned i) {
    if (i < sounds.size())
        playOnFreeChannel(sounds[i].chunk, 0);
}

void Sound::playSound(const char* name) {
    for (const SoundContainer& effect : sounds)
        if (effect.name == name)
            playOnFreeChannel(effect.chunk, 0);
}

void Sound::playMusic(unsigned i) {
    if (i < music.size())
        playOnFreeChannel(music[i].chunk, musicLoops);
}

void Sound::play(unsigned i) { playMusic(i); }

void Sound::playMusic(const char* name) {
    for (const MusicContainer& track : music)
        if (track.name == name)
            playOnFreeChannel(track.chunk, musicLoops);
}

void Sound::pause(bool on) {
    if (!deviceOpen)
        return;
    if (on) {
        Mix_Pause(allChannels);
        Mix_PauseMusic();
    } else {
        Mix_Resume(allChannels);
        Mix_ResumeMusic();
    }
}

void Sound::stop() {
    if (!deviceOpen)
        return;
    Mix_HaltChannel(allChannels);
    Mix_HaltMusic();
}

void Sound::setPosition(float seconds) {
    if (!deviceOpen)
        return;
    Mix_HaltChannel(allChannels);
    Mix_RewindMusic();
    Mix_SetMusicPosition(static_cast<int>(seconds));
}

void Sound::setMusicLooping(bool on) { musicLoops = on ? -1 : 0; }

bool Sound::isMusicLooping() const { return musicLoops == -1; }

void Sound::setSoundVolume(float volume) {
    soundVolume = volume;
    if (deviceOpen)
        Mix_Volume(allChannels, mixerVolume(volume));
}

void Sound::setMusicVolume(float volume) {
    musicVolume = volume;
    if (deviceOpen)
        Mix_VolumeMusic(mixerVolume(volume));
}

float Sound::getSoundVolume() const { return soundVolume; }

float Sound::getMusicVolume() const { return musicVolume; }

std::size_t Sound::getSoundCount() const { return sounds.size(); }

std::size_t Sound::getMusicCount() const { return music.size(); }

const SoundContainer& Sound::getSound(std::size_t i) const {
    assert(i < sounds.size());
    return sounds[i];
}

const MusicContainer& Sound::getMusic(std::size_t i) const {
    assert(i < music.size());
    return music[i];
}

}  // namespace tarnix
