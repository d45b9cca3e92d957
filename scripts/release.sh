#!/usr/bin/env bash
# Builds the demo for passing on:
#   build/release/kelbo-vs-vistral-linux-x86_64.tar.gz   one folder, kelbo-vs-vistral/,
#       that plays on any desktop Linux on x86-64 with glibc 2.31 or newer (2.34
#       when built in Debian 12) and an X display with OpenGL, nothing else
#       installed
#   build/release/kelbo-vs-vistral.png                   a screenshot, 400 x 300, for the
#       release's page
#   release.sh [--clean]    (--clean: the program compiled from an empty build tree,
#                            every object by the compiler, none from its cache)
#
# 1. The data pack is the normal build tree's (build/; see build_data_pack in
#    common.sh): the same bytes as any build's.
# 2. The program is built in a Debian 11 system (TARNIX_RELEASE_SUITE=bookworm:
#    Debian 12, taken by itself when Debian 11 cannot be had; see systems.sh)
#    made with mmdebstrap and kept in the cache folder ($TARNIX_CACHE, default
#    ~/.cache/tarnix) with the libraries built there (release-libraries.sh),
#    against its glibc, and gathered with the libraries it carries
#    (release-program.sh); the newest glibc it needs is checked and printed.
#    Only the first run makes the system and the libraries, or a run after
#    their recipe changed; the program's build tree is build/release/build-SUITE,
#    kept between runs unless --clean empties it first, and compiled through
#    a compiler cache kept beside the system, unless --clean. The lock of the
#    cache's build part is held from making the system to the program's end.
# 3. The folder: the program, lib/, data/datafile.dat, and kelbo-vs-vistral.nfo
#    (what it is, how to start it, its switches as its --help gives them).
# 4. The screenshot: the folder's program captures the heart cloud at 30 s on
#    an X server of its own; ImageMagick scales it down and quantises it.
#
# The same sources give the same bytes on every run, from an empty build tree
# or not: files in name order, fixed owners, modes and times, gzip without a
# name or time stamp.
# Installs what is missing (that alone needs root, or sudo). Needs no root
# otherwise, where the kernel gives users namespaces of their own (see
# systems.sh). Every build runs at the lowest priority (nice 19), so that it
# never takes the processor from a test that waits on the clock.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"
# shellcheck source=systems.sh
source "$(dirname "$0")/systems.sh"
read_clean_switch "$@"
check_cache_folder || exit 1

install_missing $build_packages $release_packages
reason=$(systems_possible) || { echo "release.sh: cannot build in a Debian system here: $reason" >&2; exit 1; }
suite=$(release_build_suite) || exit 1
system_label=$(suite_label "$suite")
out="$repo/build/release"
name=kelbo-vs-vistral
archive="$out/$name-linux-x86_64.tar.gz"
screenshot="$out/$name.png"
stage="$out/stage"
folder="$stage/$name"
mkdir -p "$out"
say_time "packages"

# ---- 1. The data pack ----
build_data_pack
say_time "the data pack"

# ---- 2. The program, built in Debian 11 (or 12) ----
take_cache_lock build
build_system=build-$suite
build_root=$(system_path "$build_system")
# Debian 12's sources beside the system's own: SDL_mixer's comes from there.
make_system "$build_system" "$suite" "$(printf '%s\n' "deb $debian_mirror $suite main" "deb-src $debian_mirror $suite main" \
    "deb-src $debian_mirror bookworm main" | awk '!seen[$0]++')" \
    g++ make cmake pkg-config dpkg-dev patchelf ccache libx11-dev libxext-dev libxrandr-dev libasound2-dev libpulse-dev \
    libgl-dev mesa-common-dev libglu1-mesa-dev libpng-dev zlib1g-dev libdeflate-dev libvorbis-dev
say_time "the $system_label build system"

# The libraries are made again when their recipe or the system changes; their
# stamp lives in the system's /usr/local with them, and goes with them.
libraries_recipe=$(cat "$build_root.stamp" "$repo/scripts/release-libraries.sh" | sha256sum | cut -d' ' -f1)
libraries_stamp="$build_root/usr/local/libraries.stamp"
if ! stamp_holds "$libraries_stamp" "$libraries_recipe"; then
    say "building SDL 1.2 and SDL_mixer 1.2 in the $system_label system"
    remove_tree "${build_root:?}/usr/local"
    # The source packages of this release in a folder of their own: the
    # Windows release keeps Debian 12's of the same packages in its own.
    mkdir -p "$build_root/usr/local" "$tarnix_cache/sources/linux"
    in_system "$build_root" --bind "$tarnix_cache/sources/linux" /var/cache/tarnix-sources \
        --bind-ro "$repo" /src -- nice -n 19 env RELEASE_SUITE="$suite" bash /src/scripts/release-libraries.sh ||
        { echo "release: building the libraries in $build_root failed" >&2; exit 1; }
    echo "$libraries_recipe" >"$libraries_stamp"
fi
say_time "the libraries"

# A build tree made with other libraries starts again, and so does every
# one with --clean. Without --clean the build compiles through the system's
# compiler cache, kept beside it (a stale cache is only slower), so that a
# clean clone compiles only what changed.
program_build="$out/build-$suite"
fresh_tree_unless_made_with "$program_build" "$libraries_recipe" "$clean"
compiler_cache=()
if ! $clean; then
    mkdir -p "$build_root.ccache"
    compiler_cache=(--bind "$build_root.ccache" /ccache)
fi
in_system "$build_root" --bind-ro "$repo" /src --bind "$program_build" /build "${compiler_cache[@]}" -- \
    nice -n 19 bash /src/scripts/release-program.sh ||
    { echo "release: building the program in $build_root failed" >&2; exit 1; }
release_cache_lock
say_time "the program"

# ---- 3. The folder ----
rm -rf "$stage"
mkdir -p "$stage"
cp -a "$program_build/bundle/$name" "$folder"
mkdir -p "$folder/data"
cp "$data_pack" "$folder/data/datafile.dat"

write_nfo Linux "$folder/tarnix" | as_ascii_within_78_columns >"$folder/$name.nfo"

# The newest glibc symbol version the program and its libraries need: within
# what the build system promises.
limit=$(glibc_limit "$suite")
newest=$(for file in "$folder/tarnix" "$folder"/lib/*; do objdump -T "$file"; done | grep -o 'GLIBC_[0-9.]*' |
    sort -uV | tail -n 1)
newest=${newest#GLIBC_}
[ "$(printf '%s\n' "$newest" "$limit" | sort -V | tail -n 1)" = "$limit" ] ||
    { echo "release: the program built in $system_label needs glibc $newest, past $limit" >&2; exit 1; }
say "the build system: $system_label; the program needs glibc $newest at most (the limit: $limit)"

chmod 755 "$stage" "$folder" "$folder/data"
chmod 644 "$folder/data/datafile.dat" "$folder/$name.nfo"
tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime='2026-01-01 00:00:00Z' \
    -C "$stage" -cf - "$name" | gzip -9 -n >"$archive.tmp"
mv "$archive.tmp" "$archive"
say_time "the archive"

# ---- 4. The screenshot ----
# The heart cloud over the city, drawn as a 60-frames-a-second run draws it,
# scaled to 400 x 300 and quantised to a palette, fewer colours while it
# passes 64 KB; without time stamps, so that it has the same bytes each run.
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
(
    start_xvfb
    "$folder/tarnix" --capture "$frames" --start 30000 --until 30000 --quiet
) || { echo "release: capturing the screenshot with $folder/tarnix failed" >&2; exit 1; }
for colours in 256 192 128 96 64; do
    convert "$frames/frame_00000.png" -resize 400x300 -dither None -colors "$colours" -strip \
        -define png:exclude-chunks=date,time -quality 95 "PNG8:$screenshot.tmp"
    [ "$(stat -c %s "$screenshot.tmp")" -le 65536 ] && break
done
mv "$screenshot.tmp" "$screenshot"
say_time "the screenshot"

say "the archive: $archive ($(stat -c %s "$archive") bytes)"
say "the screenshot: $screenshot ($(stat -c %s "$screenshot") bytes, $(identify -format '%w x %h' "$screenshot"))"
