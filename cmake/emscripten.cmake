# Building for web browsers with Debian's Emscripten (WebAssembly and WebGL 2):
#   cmake --preset web     (or -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake)
# The libraries (zlib, libpng, libdeflate, Ogg Vorbis) come from the prefix
# scripts/release-web.sh builds them into: $TARNIX_WEB_PREFIX, by default the
# cache folder's web/wasm32 ($TARNIX_CACHE, or tarnix in the user's cache
# folder, as scripts/common.sh has it). SDL 1.2 is Emscripten's own.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

if(DEFINED ENV{TARNIX_WEB_PREFIX})
    set(TARNIX_WEB_PREFIX $ENV{TARNIX_WEB_PREFIX})
else()
    include(${CMAKE_CURRENT_LIST_DIR}/CacheFolder.cmake)
    set(TARNIX_WEB_PREFIX ${TARNIX_CACHE_FOLDER}/web/wasm32)
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH ${TARNIX_WEB_PREFIX})
