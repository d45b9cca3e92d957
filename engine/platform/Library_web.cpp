#include "engine/platform/Platform.h"

#include <SDL_mixer.h>

#include <cstring>

// A page loads no libraries: everything it runs is in its one program. The
// mixer the engine looks up is the page's own (Mixer_web.cpp), found by the
// names of SDL_mixer's calls.

namespace tarnix {

int webMixOpenAudio(int frequency, Uint16 format, int channels, int chunkSize);
void webMixCloseAudio();
Mix_Chunk* webMixLoadWavRw(SDL_RWops* source, int freeSource);
void webMixFreeChunk(Mix_Chunk* chunk);
int webMixPlayChannelTimed(int channel, Mix_Chunk* chunk, int loops, int ticks);
int webMixHaltChannel(int channel);
int webMixHaltMusic();
void webMixPause(int channel);
void webMixResume(int channel);
void webMixPauseMusic();
void webMixResumeMusic();
void webMixRewindMusic();
int webMixSetMusicPosition(double position);
int webMixVolume(int channel, int volume);
int webMixVolumeMusic(int volume);
int webMixQuerySpec(int* frequency, Uint16* format, int* channels);
Mix_Chunk* webMixQuickLoadRaw(Uint8* samples, Uint32 length);

namespace {

struct EntryPoint {
    const char* name;
    void* function;
};

template <typename Function>
EntryPoint entry(const char* name, Function function) {
    return {name, reinterpret_cast<void*>(function)};
}

const EntryPoint mixerEntryPoints[] = {
    entry("Mix_OpenAudio", webMixOpenAudio),
    entry("Mix_CloseAudio", webMixCloseAudio),
    entry("Mix_LoadWAV_RW", webMixLoadWavRw),
    entry("Mix_FreeChunk", webMixFreeChunk),
    entry("Mix_PlayChannelTimed", webMixPlayChannelTimed),
    entry("Mix_HaltChannel", webMixHaltChannel),
    entry("Mix_HaltMusic", webMixHaltMusic),
    entry("Mix_Pause", webMixPause),
    entry("Mix_Resume", webMixResume),
    entry("Mix_PauseMusic", webMixPauseMusic),
    entry("Mix_ResumeMusic", webMixResumeMusic),
    entry("Mix_RewindMusic", webMixRewindMusic),
    entry("Mix_SetMusicPosition", webMixSetMusicPosition),
    entry("Mix_Volume", webMixVolume),
    entry("Mix_VolumeMusic", webMixVolumeMusic),
    entry("Mix_QuerySpec", webMixQuerySpec),
    entry("Mix_QuickLoad_RAW", webMixQuickLoadRaw),
};

// The one "library" there is: the page's mixer.
int pageMixer = 0;

}  // namespace

const char* const mixerLibraryName = "the page's mixer";

void* openMixerLibrary(std::string&) { return &pageMixer; }

void* libraryEntryPoint(void* library, const char* name) {
    if (library != &pageMixer)
        return nullptr;
    for (const EntryPoint& entryPoint : mixerEntryPoints)
        if (std::strcmp(entryPoint.name, name) == 0)
            return entryPoint.function;
    return nullptr;
}

const char* const libraryFileEnding = ".wasm";

void* openLibrary(const std::string&, std::string& error) {
    error = "a page loads no libraries";
    return nullptr;
}

void closeLibrary(void*) {}

}  // namespace tarnix
