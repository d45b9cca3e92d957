#include "engine/media/MixerLibrary.h"

#include "engine/platform/Platform.h"

namespace tarnix {

namespace {

template <typename Function>
bool find(void* library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(libraryEntryPoint(library, name));
    if (!function)
        SDL_SetError("%s lacks %s", mixerLibraryName, name);
    return function != nullptr;
}

bool resolve(void* library, MixerLibrary& mixer) {
    return find(library, mixer.openAudio, "Mix_OpenAudio") && find(library, mixer.closeAudio, "Mix_CloseAudio") &&
           find(library, mixer.loadWavRw, "Mix_LoadWAV_RW") && find(library, mixer.freeChunk, "Mix_FreeChunk") &&
           find(library, mixer.playChannelTimed, "Mix_PlayChannelTimed") &&
           find(library, mixer.haltChannel, "Mix_HaltChannel") && find(library, mixer.haltMusic, "Mix_HaltMusic") &&
           find(library, mixer.pause, "Mix_Pause") && find(library, mixer.resume, "Mix_Resume") &&
           find(library, mixer.pauseMusic, "Mix_PauseMusic") && find(library, mixer.resumeMusic, "Mix_ResumeMusic") &&
           find(library, mixer.rewindMusic, "Mix_RewindMusic") &&
           find(library, mixer.setMusicPosition, "Mix_SetMusicPosition") && find(library, mixer.volume, "Mix_Volume") &&
           find(library, mixer.volumeMusic, "Mix_VolumeMusic") && find(library, mixer.querySpec, "Mix_QuerySpec") &&
           find(library, mixer.quickLoadRaw, "Mix_QuickLoad_RAW");
}

}  // namespace

const MixerLibrary* loadMixerLibrary() {
    static MixerLibrary mixer;
    static bool loaded = false;
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::string error;
        void* library = openMixerLibrary(error);
        if (!library)
            SDL_SetError("%s", error.c_str());
        loaded = library && resolve(library, mixer);
    }
    return loaded ? &mixer : nullptr;
}

}  // namespace tarnix
