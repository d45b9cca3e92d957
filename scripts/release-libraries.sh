#!/bin/bash
# Runs inside the release's build system, Debian 11 or, with RELEASE_SUITE=bookworm,
# Debian 12 (see release.sh): builds the
# two libraries the archive carries that Debian's binaries will not do, from
# Debian's source packages, into /usr/local, where the program's build finds
# them. The source packages are kept in /var/cache/tarnix-sources (the cache
# folder's sources/linux/).
#
# SDL 1.2: the build system's own release's. Debian's own build links X11, ALSA and PulseAudio and
# brings caca; here they are loaded when used (--enable-*-shared) and every
# other back end is left out, so that the library needs nothing but glibc: a
# viewer without PulseAudio or ALSA still plays, silent.
#
# SDL_mixer 1.2: only WAV and Ogg Vorbis (the demo's music is Ogg), with
# the build system's static libvorbisfile, libvorbis and libogg linked in and none of
# their symbols exported: PulseAudio's client, which SDL loads when the sound
# opens, loads the viewer's own through libsndfile, and shared copies of ours
# would be handed to it in their place. Debian's archives are built as PIE,
# not PIC; the linker takes them into a shared library as long as their code
# refers to no data outside them, and refuses the link otherwise.
# Debian 11's SDL_mixer source package is not served whole any more (its .dsc
# and Debian files are gone from the archive), so this is Debian 12's package
# of the same upstream release, 1.2.12, on the same upstream tarball.
set -euo pipefail
sources=/var/cache/tarnix-sources
work=/tmp/libraries
jobs=$(nproc)

cd "$sources"
suite=${RELEASE_SUITE:-bullseye}
apt-get source --download-only -qq "libsdl1.2/$suite" sdl-mixer1.2/bookworm >/dev/null
rm -rf "$work"
mkdir -p "$work"
# dpkg-source has no keyring to check the signatures with: the checksums of the
# files are checked all the same, against the archive's signed index.
# Each by the exact name of the .dsc apt-get picked: the folder may keep other
# versions of a package from earlier runs. Asked from the empty work folder:
# apt-get leaves out of its list the files it finds already downloaded there.
for package in "libsdl1.2/$suite:sdl" sdl-mixer1.2/bookworm:mixer; do
    source=${package%:*} folder=$work/${package#*:}
    dsc=$(cd "$work" && apt-get source --print-uris "$source" 2>/dev/null |
        awk -v name="${source%/*}" '$2 ~ "^" name "_.*\\.dsc$" {print $2; exit}')
    [ -n "$dsc" ] || { echo "release-libraries: apt-get source found no $source" >&2; exit 1; }
    dpkg-source -x "$sources/$dsc" "$folder" >"$folder.log" 2>&1 ||
        { cat "$folder.log" >&2; echo "release-libraries: unpacking $sources/$dsc failed" >&2; exit 1; }
done

# Debian's own compiler flags (hardening, file paths mapped away), without
# debugging information: what is shipped is stripped anyway.
cd "$work"
CFLAGS="$(dpkg-buildflags --get CFLAGS) -g0"
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
LDFLAGS="$(dpkg-buildflags --get LDFLAGS) -Wl,--as-needed"
export CFLAGS CPPFLAGS LDFLAGS

cd "$work/sdl"
# Loading X11 at run time declares its functions in SDL itself, and libX11 has
# since made _XData32's data const: the fix SDL 1.2 made after 1.2.15.
sed -i 's/_XData32,(Display \*dpy,register long \*data/_XData32,(Display *dpy,register _Xconst long *data/' \
    src/video/x11/SDL_x11sym.h
./configure --prefix=/usr/local --disable-static --disable-rpath \
    --enable-x11-shared --enable-alsa-shared --enable-pulseaudio-shared \
    --disable-esd --disable-arts --disable-nas \
    --disable-video-caca --disable-video-aalib --disable-video-directfb --disable-video-fbcon \
    --disable-video-svga --disable-video-ggi --disable-input-tslib --disable-pth >configure.log
make -j "$jobs" >make.log 2>&1 || { tail -n 30 make.log; echo "SDL 1.2: the build failed" >&2; exit 1; }
make install >/dev/null

cd "$work/mixer"
LDFLAGS="$LDFLAGS -Wl,--exclude-libs,ALL" ./configure --prefix=/usr/local --disable-static \
    --enable-music-wave --enable-music-ogg --disable-music-ogg-shared --disable-music-cmd \
    --disable-music-mod --disable-music-mod-modplug --disable-music-midi --disable-music-mp3 \
    --disable-music-mp3-mad-gpl --disable-music-flac >configure.log
# -l:FILE takes the static archive where -lNAME would take the shared library.
sed -i 's/-lvorbisfile -lvorbis -logg/-l:libvorbisfile.a -l:libvorbis.a -l:libogg.a/' Makefile
grep -q -- '-l:libogg.a' Makefile || { echo "SDL_mixer 1.2: its Makefile does not link Vorbis as expected" >&2; exit 1; }
make -j "$jobs" >make.log 2>&1 || { tail -n 30 make.log; echo "SDL_mixer 1.2: the build failed" >&2; exit 1; }
make install >/dev/null

rm -rf "$work"
