#!/bin/bash
# Runs inside the release's build system (Debian 11, or 12; see release.sh),
# with the clone's sources at /src (read-only) and the build's own folder at
# /build: builds the program against the system's glibc, so that it runs with
# that glibc (2.31 in Debian 11) or newer, and gathers it with the libraries it carries into
# /build/bundle/kelbo-vs-vistral: tarnix, and lib/ beside it.
#
# What the program needs from the viewer's system is glibc (libc, libm,
# libpthread, libdl), libGL and, through SDL, the X11 client libraries; it
# carries the rest, and nothing in lib/ is a library the viewer's GL driver or
# sound server also loads: the dynamic loader hands a library already loaded to
# everything that needs the same soname, so an old copy of ours would replace
# the system's newer one in Mesa's driver or PulseAudio's client.
#   - libstdc++ and libgcc, linked in (Mesa's driver needs a newer libstdc++).
#   - GLU, linked in from the system's static libGLU.a (GLU is C++ as well).
#   - libpng, zlib and libdeflate, linked in from the system's libpng16.a,
#     libz.a and libdeflate.a (Mesa's driver links zlib). An executable exports
#     none of them without -rdynamic.
#   - SDL and SDL_mixer built by release-libraries.sh, in lib/; SDL_mixer has
#     the system's libvorbisfile, libvorbis and libogg linked in and hidden
#     (PulseAudio's client pulls in the system's through libsndfile).
# The program finds lib/ through its RUNPATH, $ORIGIN/lib, and SDL_mixer finds
# SDL through its own, $ORIGIN; SDL_mixer, which the engine loads with dlopen,
# is found the same way (the RUNPATH of the caller).
# shellcheck disable=SC2016  # '$ORIGIN' is the dynamic loader's, not the shell's
set -euo pipefail
jobs=$(nproc)
tree=/build/tree
bundle=/build/bundle/kelbo-vs-vistral
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

# The compiler cache, where release.sh binds one at /ccache (not with
# --clean, whose build compiles everything itself): the paths it sees are the
# same in every run (/src, /build), so one run's objects serve the next.
launchers=()
if [ -d /ccache ]; then
    export CCACHE_DIR=/ccache CCACHE_MAXSIZE=1G
    launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# The release's settings (TARNIX_RELEASE, as the preset "release" gives them;
# this system's CMake predates presets), with the static libraries of this system.
# Built against a glibc past 2.34 (Debian 12's), the program takes stand-ins
# for the newer functions its static libstdc++ and libgcc call (see
# engine/platform/GlibcCompat_linux.cpp).
glibc_2_34=OFF
[ "$(printf '%s\n' "$(ldd --version | awk 'NR == 1 {print $NF}')" 2.35 | sort -V | head -n 1)" = 2.35 ] && glibc_2_34=ON
cmake -S /src -B "$tree" -DTARNIX_RELEASE=ON -DTARNIX_GLIBC_2_34="$glibc_2_34" "${launchers[@]}" \
    -DOPENGL_glu_LIBRARY="/usr/lib/$arch/libGLU.a" -DPNG_LIBRARY="/usr/lib/$arch/libpng16.a" \
    -DZLIB_LIBRARY="/usr/lib/$arch/libz.a" -DLIBDEFLATE_LIBRARY="/usr/lib/$arch/libdeflate.a" >/dev/null
cmake --build "$tree" --target tarnix -j "$jobs"

# The file a soname names, in the system's library path or /usr/local/lib.
library_file() {
    local path
    path=$(ldconfig -p | awk -v name="$1" '$1 == name && /x86-64/ {print $NF; exit}')
    [ -n "$path" ] || path=/usr/local/lib/$1
    [ -e "$path" ] || { echo "release-program: $1 is not in the build system" >&2; return 1; }
    realpath "$path"
}

rm -rf "$bundle"
mkdir -p "$bundle/lib"
cp "$tree/app/tarnix" "$bundle/tarnix"
for soname in libSDL-1.2.so.0 libSDL_mixer-1.2.so.0; do
    cp "$(library_file "$soname")" "$bundle/lib/$soname"
done
# Stripped before patchelf: strip rewriting a file patchelf has laid out anew
# can break it.
strip --strip-all "$bundle/tarnix"
strip --strip-unneeded "$bundle"/lib/*.so.*
patchelf --set-rpath '$ORIGIN/lib' "$bundle/tarnix"
for library in "$bundle"/lib/*.so.*; do
    patchelf --set-rpath '$ORIGIN' "$library"
done
chmod 755 "$bundle" "$bundle/lib" "$bundle/tarnix"
chmod 644 "$bundle"/lib/*
