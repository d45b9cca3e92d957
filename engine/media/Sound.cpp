#include "engine/media/Sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

namespace tarnix {

Sound sound;

namespace {

const int allChannels = -1;

int mixerVolume(float volume) { return static_cast<int>(volume * MIX_MAX_VOLUME); }

}  // namespace

void Sound::init() {
    if (Mix_OpenAudio(frequency, format, channels, chunkSize) < 0)
        std::fprintf(stderr, "tarnix: no audio device, playing without sound: %s\n", Mix_GetError());
}

void Sound::close() {
    Mix_HaltChannel(allChannels);
    Mix_HaltMusic();
    for (SoundContainer& effect : sounds)
        Mix_FreeChunk(effect.chunk);
    for (MusicContainer& track : music)
        Mix_FreeChunk(track.chunk);
    sounds.clear();
    music.clear();
    Mix_CloseAudio();
}

void Sound::pause(bool on) {
    if (on) {
        Mix_Pause(allChannels);
        Mix_PauseMusic();
    } else {
        Mix_Resume(allChannels);
        Mix_ResumeMusic();
    }
}

void Sound::stop() {
    Mix_HaltChannel(allChannels);
    Mix_HaltMusic();
}

void Sound::setMusicLooping(bool on) { musicLoops = on ? -1 : 0; }

bool Sound::isMusicLooping() const { return musicLoops == -1; }

void Sound::setSoundVolume(float volume) {
    soundVolume = volume;
    Mix_Volume(allChannels, mixerVolume(volume));
}

void Sound::setMusicVolume(float volume) {
    musicVolume = volume;
    Mix_VolumeMusic(mixerVolume(volume));
}

float Sound::getSoundVolume() const { return soundVolume; }

float Sound::getMusicVolume() const { return musicVolume; }

std::size_t Sound::getSoundCount() const { return sounds.size(); }

std::size_t Sound::getMusicCount() const { return music.size(); }

}  // namespace tarnix
