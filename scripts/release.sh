#!/usr/bin/env bash
# Builds the demo for passing on: a Release build, and the archive
#   build/release/kelbo-vs-vistral-linux-x86_64.tar.gz
# holding one folder, kelbo-vs-vistral/, with the stripped program, its data
# pack and a plain-text README.txt. The archive holds the same bytes on every
# run from the same sources: files in name order, fixed owners, modes and
# times, and gzip without a name or time stamp. Installs what is missing.
set -euo pipefail
source "$(dirname "$0")/common.sh"

install_missing $build_packages
release_build="$repo/build-release"
cmake -S "$repo" -B "$release_build" -DCMAKE_BUILD_TYPE=Release -DTARNIX_TESTS=OFF -DTARNIX_WERROR=ON >/dev/null
cmake --build "$release_build" -j "$jobs" --target tarnix demo-data

out="$repo/build/release"
stage="$out/stage"
folder="$stage/kelbo-vs-vistral"
archive="$out/kelbo-vs-vistral-linux-x86_64.tar.gz"
rm -rf "$stage"
mkdir -p "$folder/data"
cp "$release_build/app/tarnix" "$folder/tarnix"
strip --strip-all "$folder/tarnix"
cp "$release_build/app/data/datafile.dat" "$folder/data/datafile.dat"

{
    cat <<'EOF'
Kelbo vs. Vistral
=================

A real-time audiovisual demo on the Tarnix engine, for Linux on x86-64.

Starting it
-----------
Run ./tarnix in this folder (or give its path from anywhere: it finds the
data/ beside it). It plays fullscreen at 640 x 480 while its music loops;
Escape ends it. ./tarnix --window plays in a window instead.

What it needs installed
-----------------------
An X display with OpenGL (any Mesa driver will do, software rendering too),
and the runtime libraries of SDL 1.2 (or its compatibility layer over SDL 2),
SDL_mixer 1.2, libpng, zlib, and Mesa's GL and GLU. On Debian or Ubuntu:

    sudo apt-get install libsdl1.2debian libsdl-mixer1.2 libpng16-16 zlib1g \
        libgl1 libglu1-mesa libgl1-mesa-dri

Without a display it says so and ends. To render it anyway, capture it on a
virtual X server (package xvfb): frames and the sound go to the folder given.

    xvfb-run -s "-screen 0 1024x768x24" ./tarnix --capture frames

Switches
--------
EOF
    "$folder/tarnix" --help | sed 's/^/    /'
    cat <<'EOF'

Credits
-------
Code, pixels and noise by the Tarnix crew. Every picture, the 3D head and the
music are made by program when the demo is built; the font is rendered from
DejaVu Sans Mono (Bitstream Vera licence).
EOF
} >"$folder/README.txt"

chmod 755 "$stage" "$folder" "$folder/data" "$folder/tarnix"
chmod 644 "$folder/data/datafile.dat" "$folder/README.txt"
tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime='2026-01-01 00:00:00Z' \
    -C "$stage" -cf - kelbo-vs-vistral | gzip -9 -n >"$archive.tmp"
mv "$archive.tmp" "$archive"
say "the archive: $archive ($(du -h "$archive" | cut -f1))"
