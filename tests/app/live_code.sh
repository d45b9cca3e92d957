#!/usr/bin/env bash
# The demo's code reloaded while the development mode runs, as a demo maker
# works: a copy of the project's sources built with live code (the dev
# preset), the program playing it with --dev in a window, paused in the
# closing (whose picture and scroller the new code only shows right when it
# replays the motion grid from its own set-up), and draw() edited and saved three
# times: a change that paints the picture green (it shows at the same demo
# time; the time from the save to the picture is printed), a change that does
# not compile (the green picture stays, the compiler's first error is on
# standard error and over the picture), and the original again (the first
# picture comes back, pixel for pixel).
set -u
source_dir=$1
data_pack=$2
for tool in xdotool convert compare import cmake; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done
here=$(dirname "$0")
# shellcheck source=../../scripts/common.sh
source "$here/../../scripts/common.sh"
# shellcheck source=program_window.sh
source "$here/program_window.sh"
# shellcheck source=release_checks.sh
source "$here/release_checks.sh"  # figure
figure_test=DevModeTest.ASavedChangeToTheCodeShowsAtTheSameTimeAndABrokenOneKeepsTheLast
start_xvfb

workdir=$(mktemp -d)
pid=""
trap 'kill "$pid" "$xvfb_pid" 2>/dev/null; rm -rf "$workdir"' EXIT
fail() {
    echo "$*"
    [ -f "$workdir/err" ] && tail -n 20 "$workdir/err" | sed 's/^/  the program said: /'
    exit 1
}

# The copy, configured as the suite's build is (so the compiler cache serves
# what that build compiled), with live code and without the tests and tools.
copy=$workdir/src
mkdir "$copy" && cp -r "$source_dir"/{CMakeLists.txt,CMakePresets.json,cmake,app,engine} "$copy"/ ||
    fail "cannot copy the sources"
export CCACHE_BASEDIR=$copy
started=$(date +%s)
# shellcheck disable=SC2046 # the options are words of their own
(cd "$copy" && cmake --preset dev -DTARNIX_TOOLS=OFF -DTARNIX_WERROR=ON $(compiler_cache_options) >/dev/null &&
    nice -n 19 cmake --build build --target tarnix -j "$jobs" >"$workdir/build.log" 2>&1) ||
    { tail -n 30 "$workdir/build.log"; fail "the copy did not build"; }
echo "the copy with live code built in $(($(date +%s) - started)) s"
[ -f "$copy/build/app/libtarnix_demo_code.so" ] || fail "no library of the demo's code beside the program"

mkdir -p "$workdir/run/data" && ln -s "$data_pack" "$workdir/run/data/datafile.dat" || fail "cannot lay out the data"
cd "$workdir/run" || exit 1
SDL_AUDIODRIVER=dummy "$copy/build/app/tarnix" --dev --window --start 56000 >"$workdir/out" 2>"$workdir/err" &
pid=$!
window=""
for _ in $(seq 150); do
    window=$(xdotool search --all --pid "$pid" --name '^Kelbo vs\. Vistral' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
    sleep 0.1
done
[ -n "$window" ] || fail "no window after 15 s"
wait_for_keys "$window" "$pid" || fail "the window took no keys"

caption() { xdotool getwindowname "$window"; }
# The demo time the caption shows, "30.123".
shown_time() { caption | sed -n 's/^Kelbo vs\. Vistral - \([0-9.]*\) s - .*/\1/p'; }
picture() { import -window "$window" "$1" 2>/dev/null; }
# pixel PICTURE X Y: "R,G,B" of one pixel, 0 to 255.
pixel() { convert "$1" -format "%[fx:int(255*u.p{$2,$3}.r)],%[fx:int(255*u.p{$2,$3}.g)],%[fx:int(255*u.p{$2,$3}.b)]" info:; }
same_pictures() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
now() { date +%s.%N; }
seconds_since() { awk -v from="$1" -v to="$(now)" 'BEGIN { printf "%.1f", to - from }'; }

# Keys pressed while the data loads are the loading pass's: the development
# mode takes them once its caption shows the demo time.
for _ in $(seq 300); do
    [ -n "$(shown_time)" ] && break
    sleep 0.1
done
[ -n "$(shown_time)" ] || fail "the caption never showed the demo time: $(caption)"
xdotool key --window "$window" space
for _ in $(seq 100); do
    caption | grep -q ' - paused - ' && break
    sleep 0.1
done
caption | grep -q ' - paused - ' || fail "Space did not pause it: $(caption)"
held=$(shown_time)
sleep 0.5
picture original.png || fail "cannot take a picture of the window"
echo "paused at $held s"

timeline=$copy/app/demo/Timeline.cpp
cp "$timeline" "$workdir/Timeline.original"
grep -q '^    tarnix::flush();$' "$timeline" || fail "draw() does not end in tarnix::flush() as this test expects"

# wait_for_picture WHAT CHECK...: takes pictures of the window (as now.png)
# until CHECK passes on it, for up to 120 s.
wait_for_picture() {
    local what=$1
    shift
    for _ in $(seq 600); do
        picture now.png && "$@" now.png && return 0
        kill -0 "$pid" 2>/dev/null || fail "the program ended waiting for $what"
        sleep 0.2
    done
    fail "no $what within 120 s"
}
is_green() { [ "$(pixel "$1" 320 240)" = "0,255,0" ]; }

# 1. draw() paints the picture green before presenting it: saved the way
# sed -i saves (a new file renamed into place). The number of this run makes
# it code the compiler cache has never seen, so the compiler really runs.
saved=$(now)
sed -i "s/^    tarnix::flush();\$/    glClearColor(0, 1, 0, 1);\n    glClear(GL_COLOR_BUFFER_BIT);\n    (void)$$$RANDOM;\n    tarnix::flush();/" "$timeline"
wait_for_picture "green picture" is_green
figure "save to the new picture" "$(seconds_since "$saved")" s
figure "save to the new code loaded" "$(sed -n 's/.*loaded again, \([0-9.]*\) s after the save/\1/p' "$workdir/out" | tail -n 1)" s
[ "$(shown_time)" = "$held" ] || fail "the new code shows $(shown_time) s, not $held s"
caption | grep -q ' - paused - ' || fail "no longer paused: $(caption)"
cp now.png green.png

# 2. A change that does not compile, written in place: the green picture
# stays, the compiler's first error goes to standard error and over the
# picture's top rows.
errors_before=$(grep -c ': error: ' "$workdir/err")
sed 's/^    tarnix::flush();$/    this is not C++;\n    tarnix::flush();/' "$workdir/Timeline.original" >"$timeline"
for _ in $(seq 600); do
    [ "$(grep -c ': error: ' "$workdir/err")" -gt "$errors_before" ] && break
    sleep 0.2
done
error_line=$(grep ': error: ' "$workdir/err" | tail -n 1)
[[ $error_line == "tarnix: app/demo/Timeline.cpp:"*": error: "* ]] || fail "no compiler error on standard error"
echo "the error shown: $error_line"
shows_a_message() {
    is_green "$1" || return 1
    convert "$1" -crop 640x14+0+0 +repage top.png && convert green.png -crop 640x14+0+0 +repage green-top.png &&
        ! same_pictures top.png green-top.png
}
wait_for_picture "green picture under the error's line" shows_a_message

# 3. The original again, copied over it: the first picture, exactly, and
# no message.
saved=$(now)
cp "$workdir/Timeline.original" "$timeline"
wait_for_picture "first picture again" same_pictures original.png
figure "save of the original to its picture" "$(seconds_since "$saved")" s
[ "$(shown_time)" = "$held" ] || fail "it shows $(shown_time) s, not $held s"

wait_for_keys "$window" "$pid" || exit 1
end_with_escape "$pid" "$window" || fail "no clean end on Escape"
pid=""
echo "live code: changed, broken and restored at $held s"
