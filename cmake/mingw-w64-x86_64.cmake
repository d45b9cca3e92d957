# Cross-building for Windows on x86-64 with Debian's MinGW-w64 (the compilers
# with POSIX threads, which std::thread needs):
#   cmake --preset windows     (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
# The libraries (SDL 1.2, SDL_mixer 1.2, libpng, zlib) come from the prefix
# scripts/release-windows.sh builds them into: $TARNIX_MINGW_PREFIX, by
# default the cache folder's mingw/x86_64 ($TARNIX_CACHE, or tarnix in the
# user's cache folder, as scripts/common.sh has it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)
set(CMAKE_AR ${triplet}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${triplet}-gcc-ranlib-posix CACHE FILEPATH "")

if(DEFINED ENV{TARNIX_MINGW_PREFIX})
    set(TARNIX_MINGW_PREFIX $ENV{TARNIX_MINGW_PREFIX})
else()
    include(${CMAKE_CURRENT_LIST_DIR}/CacheFolder.cmake)
    set(TARNIX_MINGW_PREFIX ${TARNIX_CACHE_FOLDER}/mingw/x86_64)
endif()

# The prefix first: its static zlib before the system's import library.
set(CMAKE_FIND_ROOT_PATH ${TARNIX_MINGW_PREFIX} /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${TARNIX_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
# The program runs under Wine on this machine (its tests, a capture).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
