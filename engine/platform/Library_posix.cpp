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

const char* const libraryFileEnding = ".so";

const char* const noLiveCodeReason = "";

// RTLD_LOCAL: the library's names stay out of the program's lookups, so a
// later copy of the same code never binds to this one's.
void* openLibrary(const std::string& path, std::string& error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        error = dlerror();
    return library;
}

void closeLibrary(void* library) { dlclose(library); }

}  // namespace tarnix
