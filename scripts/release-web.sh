#!/usr/bin/env bash
# Builds the demo for web browsers:
#   build/release/kelbo-vs-vistral.html   one self-contained page: the program
#       (WebAssembly), the data pack and the page, playing from a double-click
#       (file://) or from any static host, with no network access
#   release-web.sh [--clean]    (--clean: the program compiled from an empty build tree)
#
# 1. The data pack, the normal build tree's (build/), as the other releases
#    take it: the same bytes.
# 2. The libraries (zlib, libpng, libdeflate, Ogg Vorbis) are built with
#    Emscripten from Debian 12's source packages by release-web-libraries.sh
#    into the cache folder ($TARNIX_CACHE, default ~/.cache/tarnix):
#    web/wasm32, with its recipe in web/wasm32.stamp. Only the first run builds
#    them, or a run after the recipe (those scripts, Emscripten) changed.
# 3. The program, built with cmake/emscripten.cmake (the preset "web") in
#    build/release/build-web (kept between runs unless --clean empties it
#    first; through the compiler cache, unless --clean): one JavaScript file
#    with the WebAssembly and the data pack inside it.
# 4. The page: app/web/page.html with the photosensitivity warning (as --help
#    gives it), the screenshot and the program filled in.
#
# The same sources give the same bytes on every run. Needs no root: only
# installing what is missing does (as root, or through sudo).
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"
# shellcheck source=systems.sh
source "$(dirname "$0")/systems.sh"
read_clean_switch "$@"

check_cache_folder || exit 1
install_missing $build_packages $web_packages
# Debian's Emscripten runs its optimiser on Debian's own acorn.
export NODE_PATH=/usr/share/nodejs
name=kelbo-vs-vistral
out="$repo/build/release"
mkdir -p "$out"
say_time "packages"

# ---- 1. The data pack ----
build_data_pack
say_time "the data pack"

# ---- 2. The libraries ----
prefix="$tarnix_cache/web/wasm32"
take_cache_lock web
libraries_recipe=$(cat "$repo/scripts/release-web-libraries.sh" "$repo/scripts/source-packages.sh" <(emcc --version) |
    sha256sum | cut -d' ' -f1)
build_libraries "$prefix" "$libraries_recipe" "$repo/scripts/release-web-libraries.sh" "$tarnix_cache/sources/web" \
    "zlib, libpng, libdeflate and Ogg Vorbis for WebAssembly"
say_time "the libraries"

# ---- 3. The program ----
# Through the compiler cache, unless --clean: a clean clone compiles what an
# earlier one did from the cache.
program_build="$out/build-web"
fresh_tree_unless_made_with "$program_build" "$libraries_recipe" "$clean"
compiler_cache=""
$clean || compiler_cache=$(compiler_cache_options)
# shellcheck disable=SC2086 # the options are words of their own
(cd "$repo" && TARNIX_WEB_PREFIX=$prefix cmake --preset web -B "$program_build" $compiler_cache \
    -DTARNIX_WEB_DATA_PACK="$data_pack" >/dev/null)
TARNIX_WEB_PREFIX=$prefix nice -n 19 cmake --build "$program_build" --target tarnix -j "$jobs"
release_cache_lock
say_time "the program"

# ---- 4. The page ----
warning=$("$host_program" --help | head -n 1)
page="$out/$name.html"
python3 - "$repo/app/web/page.html" "$program_build/app/tarnix.js" "$repo/docs/screenshot.png" "$warning" \
    "$page.tmp" <<'EOF'
import base64, html, sys
template, program, screenshot, warning, target = sys.argv[1:]
page = open(template, encoding="utf-8").read()
# A script inside the page ends at the first "</script": none may be in it.
code = open(program, encoding="utf-8").read().replace("</script", "<\\/script")
for placeholder, text in (("@WARNING@", html.escape(warning)),
                          ("@SCREENSHOT@", base64.b64encode(open(screenshot, "rb").read()).decode()),
                          ("@PROGRAM@", code)):
    if page.count(placeholder) != 1:
        sys.exit(f"release-web: {template} has {page.count(placeholder)} {placeholder}, not one")
    page = page.replace(placeholder, text)
open(target, "w", encoding="utf-8").write(page)
EOF
mv "$page.tmp" "$page"
size=$(stat -c %s "$page")
limit=$((12 * 1024 * 1024))
[ "$size" -le "$limit" ] || { echo "release-web: $page is $size bytes, more than 12 MB" >&2; exit 1; }
say_time "the page: $page, $((size / 1024)) KiB"
