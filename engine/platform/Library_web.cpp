#include "engine/platform/Platform.h"

// A page loads no libraries: everything it runs is in its one program. The
// sound of the web build is not there yet, so the demo plays silent.

namespace tarnix {

const char* const mixerLibraryName = "SDL_mixer";

void* openMixerLibrary(std::string& error) {
    error = "the web build has no sound yet";
    return nullptr;
}

void* libraryEntryPoint(void*, const char*) { return nullptr; }

const char* const libraryFileEnding = ".wasm";

void* openLibrary(const std::string&, std::string& error) {
    error = "a page loads no libraries";
    return nullptr;
}

void closeLibrary(void*) {}

}  // namespace tarnix
