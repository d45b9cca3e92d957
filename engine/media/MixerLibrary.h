#pragma once

#include <SDL_mixer.h>

// SDL_mixer, loaded the first time the sound device is opened rather than when
// the program starts: the audio library and the many it depends on cost a
// content-tool run (which never plays a sound) a third of its start-up.

namespace tarnix {

struct MixerLibrary {
    int (*openAudio)(int frequency, Uint16 format, int channels, int chunkSize);
    void (*closeAudio)();
    Mix_Chunk* (*loadWavRw)(SDL_RWops* source, int freeSource);
    void (*freeChunk)(Mix_Chunk* chunk);
    int (*playChannelTimed)(int channel, Mix_Chunk* chunk, int loops, int ticks);
    int (*haltChannel)(int channel);
    int (*haltMusic)();
    void (*pause)(int channel);
    void (*resume)(int channel);
    void (*pauseMusic)();
    void (*resumeMusic)();
    void (*rewindMusic)();
    int (*setMusicPosition)(double position);
    int (*volume)(int channel, int volume);
    int (*volumeMusic)(int volume);
    int (*querySpec)(int* frequency, Uint16* format, int* channels);
    Mix_Chunk* (*quickLoadRaw)(Uint8* samples, Uint32 length);
};

// The library's entry points, or null when it cannot be loaded (the reason is
// then SDL's error text). Loaded once; valid for the life of the program.
const MixerLibrary* loadMixerLibrary();

}  // namespace tarnix
