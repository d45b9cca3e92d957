#!/bin/bash
# Builds, with Emscripten on this machine, the libraries the web build of the
# demo needs, from Debian 12's source packages, into PREFIX:
#   release-web-libraries.sh PREFIX SOURCES
# PREFIX is a folder that does not exist yet: the script makes it, and refuses
# one that is there rather than empty it. SOURCES is the folder the source
# packages are downloaded to and kept in (the cache folder's sources/web/).
# Run by release-web.sh, which keeps PREFIX in the cache folder between runs
# and moves an earlier one out of the way first.
#
# What comes out: static WebAssembly archives of zlib, libpng, libdeflate,
# libogg, libvorbis and libvorbisfile with their headers. SDL is Emscripten's
# own (its SDL 1.2 in JavaScript); the engine's sound on the web decodes Ogg
# Vorbis with these and plays through the browser's Web Audio, so SDL_mixer
# is not built. No paths of this machine in the archives.
set -euo pipefail
# shellcheck source=source-packages.sh
source "$(dirname "$0")/source-packages.sh"
start_library_build "$@"

# ---- The source packages ----
unpack_source_packages "$prefix.apt" "$sources" "$work" zlib libpng1.6 libdeflate libogg libvorbis

# ---- The build ----
mkdir -p "$prefix/include" "$prefix/lib"
export CC=emcc AR=emar RANLIB=emranlib
export CPPFLAGS="-I$prefix/include"
export CFLAGS="-O2 -g0 -ffile-prefix-map=$work/="
export LDFLAGS="-L$prefix/lib"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=

fail() { tail -n 30 "$2" >&2; echo "release-web-libraries: $1 failed" >&2; exit 1; }

# configure_and_make NAME [configure options...]: in $work/NAME, quiet unless
# it fails; makes $make_targets (default all) and $install_targets (default
# install). The configure scripts share their answers (a cache file): each
# question costs a run of Emscripten's compiler. Configured as a cross build, which runs none of its test
# programs, for WebAssembly on a host system the packages' older config.sub
# scripts all know (they know no "emscripten"): Emscripten's compiler decides
# what comes out.
configure_and_make() {
    local name=$1
    shift
    cd "$work/$name"
    emconfigure ./configure --host=wasm32-unknown-linux-gnu --prefix="$prefix" --disable-shared --enable-static \
        --cache-file="$work/config.cache" "$@" >configure.log 2>&1 || fail "configuring $name" configure.log
    # shellcheck disable=SC2086  # the target lists are word lists
    emmake make -j "$jobs" ${make_targets:-all} >make.log 2>&1 && emmake make ${install_targets:-install} >install.log 2>&1 ||
        fail "building $name" make.log
}

# zlib's configure is its own, not autoconf's: no --host.
(cd "$work/zlib" && emconfigure ./configure --static --prefix="$prefix" >configure.log 2>&1) ||
    fail "configuring zlib" "$work/zlib/configure.log"
(cd "$work/zlib" && emmake make -j "$jobs" libz.a >make.log 2>&1 && emmake make install >install.log 2>&1) ||
    fail "building zlib" "$work/zlib/make.log"
# The library alone: linking its tools and tests for the browser would take
# longer than compiling it.
make_targets=libpng16.la install_targets="install-libLTLIBRARIES install-pkgincludeHEADERS \
    install-nodist_pkgincludeHEADERS install-header-links install-library-links install-pkgconfigDATA" \
    configure_and_make libpng1.6 --disable-hardware-optimizations
(cd "$work/libdeflate" && emmake make -j "$jobs" CC=emcc AR=emar libdeflate.a >make.log 2>&1) ||
    fail "building libdeflate" "$work/libdeflate/make.log"
cp "$work/libdeflate/libdeflate.a" "$prefix/lib/"
cp "$work/libdeflate/libdeflate.h" "$prefix/include/"
# libogg is two sources and a header of types, which its configure script
# would spend half a minute to fill in with what is fixed here: compiled
# directly. libvorbis is told where it is rather than asking pkg-config.
(
    cd "$work/libogg"
    sed -e 's/@INCLUDE_INTTYPES_H@/1/; s/@INCLUDE_STDINT_H@/1/; s/@INCLUDE_SYS_TYPES_H@/1/' \
        -e 's/@SIZE16@/int16_t/; s/@USIZE16@/uint16_t/; s/@SIZE32@/int32_t/; s/@USIZE32@/uint32_t/' \
        -e 's/@SIZE64@/int64_t/; s/@USIZE64@/uint64_t/' include/ogg/config_types.h.in >include/ogg/config_types.h
    emcc $CFLAGS -Iinclude -c src/bitwise.c src/framing.c >make.log 2>&1 && emar rcs libogg.a bitwise.o framing.o
) || fail "building libogg" "$work/libogg/make.log"
cp "$work/libogg/libogg.a" "$prefix/lib/"
mkdir -p "$prefix/include/ogg"
cp "$work/libogg/include/ogg/ogg.h" "$work/libogg/include/ogg/os_types.h" "$work/libogg/include/ogg/config_types.h" \
    "$prefix/include/ogg/"
OGG_CFLAGS="-I$prefix/include" OGG_LIBS="-L$prefix/lib -logg" \
    configure_and_make libvorbis --disable-docs --disable-examples --disable-oggtest

for library in libz libpng16 libdeflate libogg libvorbis libvorbisfile; do
    [ -f "$prefix/lib/$library.a" ] || { echo "release-web-libraries: no $library.a was built" >&2; exit 1; }
done
cp "$work/versions" "$prefix/versions"
