#include "engine/media/MixerLibrary.h"

#include "engine/io/FileSystem.h"

#include <windows.h>

#include <string>

namespace tarnix::mixerPlatform {

const char* const libraryName = "SDL_mixer.dll";

// Only from the program's own folder, where the release puts it, by its full
// path: a bare name is looked up in the working folder as well, where a DLL of
// that name planted there would run inside the program whenever ours is missing.
void* open() {
    const std::string folder = executableDirectory();
    if (folder.empty()) {
        SDL_SetError("%s not loaded: the program's folder cannot be told", libraryName);
        return nullptr;
    }
    const std::string path = folder + "\\" + libraryName;
    if (pathKind(path) != PathKind::regularFile) {
        SDL_SetError("%s is missing from the program's folder %s", libraryName, folder.c_str());
        return nullptr;
    }
    // LOAD_WITH_ALTERED_SEARCH_PATH: the DLLs it needs (SDL.dll, loaded with the
    // program already) are looked up in its folder first.
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        SDL_SetError("%s cannot be loaded (Windows error %lu)", path.c_str(),
                     static_cast<unsigned long>(GetLastError()));
    return reinterpret_cast<void*>(library);
}

void* entryPoint(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace tarnix::mixerPlatform
