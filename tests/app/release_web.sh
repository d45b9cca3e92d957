#!/usr/bin/env bash
# The web page, built by scripts/release-web.sh and opened from disk by
# headless Chromium (tests/web/page.test.js, driven by puppeteer-core):
#   release_web.sh REPO PROGRAM SCENES
#   (PROGRAM: the normal build's tarnix; SCENES: its gl_scenes, tests/gl)
#
# - The page is one file of at most 12 MB.
# - Its start card shows the title, the program's own photosensitivity
#   warning, "Click to start" and the calm demo beside it, and nothing plays
#   before a click.
# - Still frames at 3, 12, 30, 46, 51 and 56 s are within 30 dB PSNR of the
#   normal build's captures at the same times. Lines are one pixel wide in
#   WebGL (the head's wireframe at 12 s is drawn wider by Mesa), and points
#   fall on other pixels here and there (the tunnel at 51 s): both cost a few
#   dB, as the figures show.
# - After a click the demo loads without blocking the page (its loading bar
#   shows), then ten seconds of play: no page error, the demo time at the
#   clock's rate, the music within 100 ms of the picture; Escape ends it.
# - Live frames at the browser's usual rate, unthrottled and slowed are the
#   page's own stills of their demo times, pixel for pixel; the card's calm
#   choice plays the calm demo; without WebGL 2, and when the context is
#   lost while playing, the card says so (tests/web/live.test.js).
# - The engine's OpenGL layer draws as Mesa does, feature by feature: the
#   scenes of tests/gl (primitives, arrays and buffers, matrix stacks, texture
#   environments, generated coordinates, points and sprites, blending and
#   depth, display lists, the attribute stack, GLU, an orthographic
#   wireframe) built for the browser and drawn in Chromium, each within its
#   few pixels of the desktop build's (tests/web/scenes.test.js).
# The page's size, the time to each still and to the first frame of play are
# printed. Needs no root. Each step's time is printed.
set -u
repo=$1
program=$2
scenes=$3
# shellcheck source=../../scripts/common.sh
source "$repo/scripts/common.sh"
# shellcheck source=release_checks.sh
source "$repo/tests/app/release_checks.sh"
command -v chromium >/dev/null || { echo "chromium is missing (apt-get install chromium)"; exit 1; }
command -v npm >/dev/null || { echo "npm is missing (apt-get install npm)"; exit 1; }
page="$repo/build/release/kelbo-vs-vistral.html"
times="3000 12000 30000 46000 51000 56000"
least_psnr=30
fail() { echo "$*"; exit 1; }

workdir=$(mktemp -d)
xvfb_pid=""
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$workdir"' EXIT
figure_test=ReleaseTest.TheWebPagePlaysInChromium
step_started=$SECONDS
step_time() {
    echo "-- $1: $((SECONDS - step_started)) s"
    figure "time, $1" $((SECONDS - step_started)) s
    step_started=$SECONDS
}

# ---- The page, and puppeteer-core (in the build tree, from the lock file) ----
bash "$repo/scripts/release-web.sh" >"$workdir/release.log" 2>&1 ||
    { tail -n 30 "$workdir/release.log"; fail "release-web.sh failed"; }
step_time "the page built"
# The scenes' program beside the page's, in its build tree.
(export TARNIX_WEB_PREFIX="$tarnix_cache/web/wasm32" NODE_PATH=/usr/share/nodejs &&
    cmake -S "$repo" -B "$repo/build/release/build-web" >"$workdir/scenes.log" 2>&1 &&
    cmake --build "$repo/build/release/build-web" --target gl_scenes -j "$jobs" >>"$workdir/scenes.log" 2>&1) ||
    { tail -n 30 "$workdir/scenes.log"; fail "the scenes did not build for the browser"; }
step_time "the scenes built for the browser"
driver="$repo/build/web-test"
mkdir -p "$driver"
cp "$repo/tests/web/package.json" "$repo/tests/web/package-lock.json" "$repo/tests/web/"*.js "$driver/"
if ! cmp -s "$repo/tests/web/package-lock.json" "$driver/node_modules/.package-lock.json.used" 2>/dev/null; then
    (cd "$driver" && npm ci --no-audit --no-fund --cache "$tarnix_cache/npm" >"$workdir/npm.log" 2>&1) ||
        { tail -n 20 "$workdir/npm.log"; fail "npm ci of puppeteer-core failed"; }
    cp "$repo/tests/web/package-lock.json" "$driver/node_modules/.package-lock.json.used"
fi
step_time "puppeteer-core"

# ---- The normal build's frames at the same times ----
start_xvfb
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$workdir"' EXIT  # start_xvfb set its own
for ms in $times; do
    "$program" --capture "$workdir/native_$ms" --start "$ms" --until "$ms" --quiet >"$workdir/capture.log" 2>&1 ||
        { cat "$workdir/capture.log"; fail "the normal build's capture at $ms ms failed"; }
done
SDL_AUDIODRIVER=dummy "$scenes" >"$workdir/desktop_scenes.txt" 2>"$workdir/scenes.log" ||
    { cat "$workdir/scenes.log"; fail "the desktop build's scenes failed"; }
kill "$xvfb_pid" 2>/dev/null
xvfb_pid=""
# Headless Chromium waits for an X server named in DISPLAY, gone now.
unset DISPLAY
step_time "the normal build's frames"

# ---- The page in Chromium ----
TARNIX_SOURCE="$repo" TARNIX_WARNING=$("$program" --help | head -n 1) node "$driver/page.test.js" "$page" "$workdir" $times |
    tee "$workdir/page.log"
status=${PIPESTATUS[0]}
node "$driver/live.test.js" "$page" | tee -a "$workdir/page.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
node "$driver/scenes.test.js" "$repo/build/release/build-web/tests/gl/gl_scenes.js" "$workdir/desktop_scenes.txt" \
    "$workdir" | tee -a "$workdir/page.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
sed -n 's/^figure: //p' "$workdir/page.log" | while read -r line; do
    [ -z "${TARNIX_FIGURES:-}" ] || echo "$figure_test: $line" >>"$TARNIX_FIGURES"
done
step_time "the page in Chromium"

lowest=""
for ms in $times; do
    [ -f "$workdir/still_$ms.png" ] || { status=1; echo "no still frame at $ms ms"; continue; }
    psnr=$(compare -metric PSNR "$workdir/still_$ms.png" "$workdir/native_$ms/frame_00000.png" null: 2>&1)
    figure "still frame at $ms ms, PSNR against the normal build's" "$psnr" dB
    if ! awk -v p="$psnr" -v least="$least_psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= least) }'; then
        echo "the still frame at $ms ms is $psnr dB from the normal build's, under $least_psnr"
        status=1
    fi
done
[ "$status" -eq 0 ] || fail "the web page failed the checks above"
echo "the web page plays in Chromium"
