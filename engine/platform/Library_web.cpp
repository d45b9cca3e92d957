#include "engine/platform/Platform.h"

#include "engine/platform/web/Mixer.h"

// A page loads no libraries: everything it runs is in its one program. The
// mixer the engine looks up is the page's own (Mixer.cpp), found by the
// names of SDL_mixer's calls.

namespace tarnix {

namespace {

// The one "library" there is: the page's mixer.
int pageMixer = 0;

}  // namespace

const char* const mixerLibraryName = "the page's mixer";

void* openMixerLibrary(std::string&) { return &pageMixer; }

void* libraryEntryPoint(void* library, const char* name) {
    return library == &pageMixer ? pageMixerEntryPoint(name) : nullptr;
}

const char* const libraryFileEnding = ".wasm";

const char* const noLiveCodeReason =
    "a page starts no compiler and loads no library; it plays the code it was built with";

void* openLibrary(const std::string&, std::string& error) {
    error = "a page loads no libraries";
    return nullptr;
}

void closeLibrary(void*) {}

}  // namespace tarnix
