#include "engine/platform/Platform.h"

#include <dlfcn.h>

namespace tarnix {

const char* const mixerLibraryName = "libSDL_mixer-1.2.so.0";

void* openMixerLibrary(std::string& error) {
    void* library = dlopen(mixerLibraryName, RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        error = dlerror();
    return library;
}

void* libraryEntryPoint(void* library, const char* name) { return dlsym(library, name); }

}  // namespace tarnix
