#!/usr/bin/env bash
# Builds the demo for Windows on x86-64, cross-compiled here with MinGW-w64:
#   build/release/kelbo-vs-vistral-windows-x86_64.zip   one folder, kelbo-vs-vistral/,
#       with tarnix.exe, the DLLs it loads (SDL.dll, SDL_mixer.dll),
#       data/datafile.dat and kelbo-vs-vistral.nfo
#   release-windows.sh [--clean]    (--clean: the program compiled from an empty build tree,
#                                    every object by the compiler, none from its cache)
#
# 1. The data pack, the normal build tree's (build/), as the Linux release
#    takes it: the same bytes.
# 2. The libraries (SDL 1.2, SDL_mixer 1.2 with Ogg Vorbis, libpng) are
#    cross-built from Debian 12's source packages by release-windows-libraries.sh
#    into the cache folder ($TARNIX_CACHE, default ~/.cache/tarnix):
#    mingw/x86_64, with its recipe in mingw/x86_64.stamp. Only the first run
#    builds them, or a run after the recipe (those scripts, the compiler, Debian's
#    MinGW-w64 zlib) changed. The lock of the cache's mingw part is held from
#    here until the DLLs are in the folder (step 4), so that a run with another
#    recipe cannot build others underneath.
# 3. The program, cross-built with cmake/mingw-w64-x86_64.cmake in
#    build/release/build-windows (kept between runs unless --clean empties it
#    first; through the compiler cache, unless --clean): libstdc++, libgcc,
#    winpthreads, libpng and zlib linked in; OpenGL and GLU are Windows' own
#    (opengl32, glu32).
# 4. The folder and the zip: kelbo-vs-vistral.nfo (what it is, how to start
#    it, its switches as --help gives them; the host's program of the same
#    sources prints the same help), in CRLF lines as Windows' text files.
#
# The same sources give the same bytes on every run, from an empty build tree
# or not: no time stamps in the program or the DLLs, files in name order with
# one fixed time in the zip.
#
# Needs no root: only installing what is missing does (as root, or through
# sudo). Every build runs at the lowest priority (nice 19), as release.sh's.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"
# shellcheck source=systems.sh
source "$(dirname "$0")/systems.sh"
read_clean_switch "$@"

host=x86_64-w64-mingw32
windows_packages="g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev zip"
check_cache_folder || exit 1
install_missing $build_packages $windows_packages
name=kelbo-vs-vistral
out="$repo/build/release"
mkdir -p "$out"
say_time "packages"

# ---- 1. The data pack ----
build_data_pack
say_time "the data pack"

# ---- 2. The libraries ----
prefix="$tarnix_cache/mingw/x86_64"
take_cache_lock mingw
libraries_recipe=$(cat "$repo/scripts/release-windows-libraries.sh" "$repo/scripts/source-packages.sh" <($host-gcc-posix --version) \
    <(dpkg-query -W -f='${Version}' libz-mingw-w64-dev) | sha256sum | cut -d' ' -f1)
build_libraries "$prefix" "$libraries_recipe" "$repo/scripts/release-windows-libraries.sh" \
    "$tarnix_cache/sources/windows" "SDL 1.2, SDL_mixer 1.2, Ogg Vorbis and libpng for Windows"
say_time "the libraries"

# ---- 3. The program ----
# A tree made with other libraries starts again, and so does every one with
# --clean.
program_build="$out/build-windows"
fresh_tree_unless_made_with "$program_build" "$libraries_recipe" "$clean"
# The preset "windows": MinGW-w64 and the release's settings (TARNIX_RELEASE:
# no MinGW DLL needed, no path of this machine in the program, no time stamp).
compiler_cache=""
$clean || compiler_cache=$(compiler_cache_options)
# shellcheck disable=SC2086 # the options are words of their own
(cd "$repo" && TARNIX_MINGW_PREFIX=$prefix cmake --preset windows -B "$program_build" $compiler_cache >/dev/null)
TARNIX_MINGW_PREFIX=$prefix nice -n 19 cmake --build "$program_build" --target tarnix -j "$jobs"
program="$program_build/tarnix.exe"
cp "$program_build/app/tarnix.exe" "$program"
# Read whole first: objdump failing (or missing) ends the script here.
dlls=$($host-objdump -p "$program" | awk '/DLL Name:/ {print $3}')
if grep -i -E '^lib|mingw' <<<"$dlls"; then
    echo "release-windows: tarnix.exe needs the MinGW runtime DLLs above" >&2
    exit 1
fi
say_time "the program"

# ---- 4. The folder and the zip ----
archive="$out/$name-windows-x86_64.zip"
stage="$out/stage-windows"
folder="$stage/$name"
rm -rf "$stage"
mkdir -p "$folder/data"
cp "$program" "$folder/tarnix.exe"
cp "$prefix/bin/SDL.dll" "$prefix/bin/SDL_mixer.dll" "$folder/"
release_cache_lock
cp "$data_pack" "$folder/data/datafile.dat"
write_nfo Windows "$host_program" | as_ascii_within_78_columns | sed 's/$/\r/' >"$folder/$name.nfo"

# Fixed times (zip keeps local time: UTC here), no owners or extra fields,
# names in byte order, no entries for the folders themselves.
find "$stage" -exec touch -h -d '2026-01-01 00:00:00Z' {} +
chmod 644 "$folder/$name.nfo" "$folder/data/datafile.dat"
chmod 755 "$folder/tarnix.exe" "$folder"/*.dll
rm -f "$archive.tmp"
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -q -X -D -9 "$archive.tmp" -@)
mv "$archive.tmp" "$archive"
say_time "the zip"
say "the zip: $archive ($(stat -c %s "$archive") bytes)"
