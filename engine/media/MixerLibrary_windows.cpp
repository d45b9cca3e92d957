#include "engine/media/MixerLibrary.h"

#include <windows.h>

namespace tarnix::mixerPlatform {

// Looked up first in the program's own folder, where the release puts it.
const char* const libraryName = "SDL_mixer.dll";

void* open() {
    HMODULE library = LoadLibraryA(libraryName);
    if (!library)
        SDL_SetError("%s cannot be loaded (Windows error %lu)", libraryName,
                     static_cast<unsigned long>(GetLastError()));
    return reinterpret_cast<void*>(library);
}

void* entryPoint(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace tarnix::mixerPlatform
