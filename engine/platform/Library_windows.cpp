#include "engine/platform/Platform.h"

#include <windows.h>

namespace tarnix {

const char* const mixerLibraryName = "SDL_mixer.dll";

// Only from the program's own folder, where the release puts it, by its full
// path: a bare name is looked up in the working folder as well, where a DLL of
// that name planted there would run inside the program whenever ours is missing.
void* openMixerLibrary(std::string& error) {
    const std::string folder = executableDirectory();
    if (folder.empty()) {
        error = std::string(mixerLibraryName) + " not loaded: the program's folder cannot be told";
        return nullptr;
    }
    const std::string path = folder + "\\" + mixerLibraryName;
    if (pathKind(path) != PathKind::regularFile) {
        error = std::string(mixerLibraryName) + " is missing from the program's folder " + folder;
        return nullptr;
    }
    // LOAD_WITH_ALTERED_SEARCH_PATH: the DLLs it needs (SDL.dll, loaded with the
    // program already) are looked up in its folder first.
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        error = path + " cannot be loaded (Windows error " +
                std::to_string(static_cast<unsigned long>(GetLastError())) + ")";
    return reinterpret_cast<void*>(library);
}

void* libraryEntryPoint(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

const char* const libraryFileEnding = ".dll";

const char* const noLiveCodeReason =
    "the Windows build does not build the demo's code as a DLL to swap in yet; it plays the code it was "
    "built with";

void* openLibrary(const std::string& path, std::string& error) {
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        error = path + " cannot be loaded (Windows error " +
                std::to_string(static_cast<unsigned long>(GetLastError())) + ")";
    return reinterpret_cast<void*>(library);
}

void closeLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace tarnix
