#!/bin/bash
# Cross-builds, with MinGW-w64 on this machine, the libraries the Windows
# build of the demo needs, from Debian 12's source packages, into PREFIX:
#   release-windows-libraries.sh PREFIX SOURCES
# PREFIX is a folder that does not exist yet: the script makes it, and refuses
# one that is there rather than empty it. SOURCES is the folder the source
# packages are downloaded to and kept in (the cache folder's sources/windows/).
# Run by release-windows.sh, which keeps PREFIX in the cache folder between
# runs and moves an earlier one out of the way first.
#
# What comes out, and why so:
#   - SDL.dll and SDL_mixer.dll. The program loads SDL_mixer at run time
#     (LoadLibrary), and SDL_mixer must use the program's own SDL (one audio
#     device, one set of globals), so both are DLLs. SDL keeps only its Win32
#     drivers: video through windib and DirectX, sound through waveout and
#     DirectSound.
#   - SDL_mixer plays only WAV and Ogg Vorbis (the demo's music is Ogg), with
#     libvorbisfile, libvorbis and libogg linked into it: no more DLLs.
#   - libpng and libdeflate static, for the program to link in; zlib is
#     Debian's MinGW-w64 build (libz-mingw-w64-dev), static too.
# Every DLL carries the C runtime parts of GCC it needs (-static-libgcc) and
# no time stamp (--no-insert-timestamp), so that two builds give the same
# bytes.
set -euo pipefail
# shellcheck source=source-packages.sh
source "$(dirname "$0")/source-packages.sh"
start_library_build "$@"
host=x86_64-w64-mingw32

# ---- The source packages ----
unpack_source_packages "$prefix.apt" "$sources" "$work" libogg libvorbis libpng1.6 libdeflate libsdl1.2 sdl-mixer1.2

# ---- The build ----
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/bin"
# -static-libgcc in the compiler's name: libtool drops it from LDFLAGS.
export CC="$host-gcc-posix -static-libgcc" CXX="$host-g++-posix -static-libgcc" AR=$host-ar RANLIB=$host-ranlib STRIP=$host-strip
export CPPFLAGS="-I$prefix/include"
export CFLAGS="-O2 -g0 -ffile-prefix-map=$work/="
# Stripped by the linker (-s): strip would write the time of its run into
# the DLL's header.
export LDFLAGS="-L$prefix/lib -Wl,-s,--no-insert-timestamp"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=

# configure_and_make NAME [configure options...]: in $work/NAME, quiet unless
# it fails; makes $make_targets (default all) and $install_targets (default install).
configure_and_make() {
    local name=$1
    shift
    cd "$work/$name"
    ./configure --host=$host --prefix="$prefix" "$@" >configure.log 2>&1 ||
        { tail -n 30 configure.log >&2; echo "release-windows-libraries: configuring $name failed" >&2; exit 1; }
    # libtool of MinGW takes only DLLs' import libraries into a DLL and
    # otherwise silently builds no DLL at all: our static archives are meant.
    [ ! -f libtool ] || sed -i 's/^deplibs_check_method=.*/deplibs_check_method="pass_all"/' libtool
    # shellcheck disable=SC2086  # the target lists are word lists
    make -j "$jobs" ${make_targets:-all} >make.log 2>&1 && make ${install_targets:-install} >install.log 2>&1 ||
        { tail -n 30 make.log >&2; echo "release-windows-libraries: building $name failed" >&2; exit 1; }
}

cp /usr/$host/include/zlib.h /usr/$host/include/zconf.h "$prefix/include/"
cp /usr/$host/lib/libz.a "$prefix/lib/"

configure_and_make libogg --disable-shared --enable-static
configure_and_make libvorbis --disable-shared --enable-static --disable-docs --disable-examples --disable-oggtest
configure_and_make libpng1.6 --disable-shared --enable-static
# libdeflate has a plain Makefile, which names its static library for Windows
# libdeflatestatic.lib; the linker takes it as libdeflate.a.
(cd "$work/libdeflate" && make -j "$jobs" libdeflatestatic.lib >make.log 2>&1) ||
    { tail -n 30 "$work/libdeflate/make.log" >&2; echo "release-windows-libraries: building libdeflate failed" >&2; exit 1; }
cp "$work/libdeflate/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
cp "$work/libdeflate/libdeflate.h" "$prefix/include/"
configure_and_make libsdl1.2 --enable-shared --disable-static --disable-rpath --disable-stdio-redirect \
    --enable-directx --disable-nasm --disable-assembly
# Only the library: its example players want SDLmain, which the program does
# without. LIBS: the static libvorbisfile needs libvorbis and libogg after it,
# or configure finds no Ogg Vorbis and leaves it out.
make_targets=build/libSDL_mixer.la install_targets="install-hdrs install-lib" LIBS="-lvorbis -logg" \
    configure_and_make sdl-mixer1.2 --enable-shared --disable-static \
    --enable-music-wave --enable-music-ogg --disable-music-ogg-shared --disable-music-cmd \
    --disable-music-mod --disable-music-mod-modplug --disable-music-midi --disable-music-mp3 \
    --disable-music-mp3-mad-gpl --disable-music-flac --disable-sdltest --with-sdl-prefix="$prefix"

grep -q -- '-DOGG_MUSIC' "$work/sdl-mixer1.2/Makefile" ||
    { echo "release-windows-libraries: SDL_mixer was configured without Ogg Vorbis" >&2; exit 1; }
# Each DLL needs only Windows' own (and SDL_mixer SDL): a MinGW runtime DLL
# (libgcc_s, libwinpthread) would have to travel with them.
for dll in SDL.dll SDL_mixer.dll; do
    [ -f "$prefix/bin/$dll" ] || { echo "release-windows-libraries: no $dll was built" >&2; exit 1; }
    dlls=$($host-objdump -p "$prefix/bin/$dll" | awk '/DLL Name:/ {print $3}')
    if grep -i -E '^lib|mingw' <<<"$dlls"; then
        echo "release-windows-libraries: $dll needs the MinGW runtime DLLs above" >&2
        exit 1
    fi
done
cp "$work/versions" "$prefix/versions"
