# Building for web browsers with Debian's Emscripten (WebAssembly and WebGL 2):
#   cmake --preset web     (or -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake)
# The libraries (zlib, libpng, libdeflate, Ogg Vorbis) come from the prefix
# scripts/release-web.sh builds them into: $TARNIX_WEB_PREFIX, by default the
# cache folder's web/wasm32 ($TARNIX_CACHE, or tarnix in the user's cache
# folder, as scripts/common.sh has it). SDL 1.2 is Emscripten's own.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

if(DEFINED ENV{TARNIX_WEB_PREFIX})
    set(TARNIX_WEB_PREFIX $ENV{TARNIX_WEB_PREFIX})
elseif(DEFINED ENV{TARNIX_CACHE})
    set(TARNIX_WEB_PREFIX $ENV{TARNIX_CACHE}/web/wasm32)
elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(TARNIX_WEB_PREFIX $ENV{XDG_CACHE_HOME}/tarnix/web/wasm32)
else()
    set(TARNIX_WEB_PREFIX $ENV{HOME}/.cache/tarnix/web/wasm32)
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH ${TARNIX_WEB_PREFIX})
