#include "engine/media/MixerLibrary.h"

#include <dlfcn.h>

namespace tarnix::mixerPlatform {

const char* const libraryName = "libSDL_mixer-1.2.so.0";

void* open() {
    void* library = dlopen(libraryName, RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        SDL_SetError("%s", dlerror());
    return library;
}

void* entryPoint(void* library, const char* name) { return dlsym(library, name); }

}  // namespace tarnix::mixerPlatform
