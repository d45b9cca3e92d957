#!/usr/bin/env bash
# What parties require of an entry, tried from outside the program as an
# organiser does it, on a 1920 x 1080 screen:
#   party_rules.sh PROGRAM WINDOW_CONTROL PACK
# - Escape, Alt+F4 and the window's close button each end the program with
#   status 0 within 100 ms in the heaviest section (the heart cloud at 28 s,
#   --native: the picture at 1440 x 1080, where the software renderer takes
#   half a second over a frame), each after twenty moves of the pointer. One
#   event a frame, as the loop took them before, needed twenty frames; a stop
#   waiting for the frame in hand needed up to one; Alt+F4 had no meaning at
#   all in fullscreen.
# - Escape during the loading pass (a data folder with 200 pictures of 512 x
#   512 besides the pack, so that loading takes seconds; the music is mostly
#   still being decoded when the window takes keys) ends it within 100 ms,
#   no frame of the demo drawn.
# - No cursor over the picture fullscreen and at --native; a window keeps it.
# Each latency is printed and kept as a figure.
set -u
program=$1
control=$2
pack=$3
command -v convert >/dev/null || { echo "convert is missing (apt-get install imagemagick)"; exit 1; }
here=$(dirname "$0")
# shellcheck source=../../scripts/common.sh
source "$here/../../scripts/common.sh"
# shellcheck source=program_window.sh
source "$here/program_window.sh"
# shellcheck source=release_checks.sh
source "$here/release_checks.sh"
start_xvfb 1920x1080

workdir=$(mktemp -d)
pid=""
trap 'kill "$pid" "$xvfb_pid" 2>/dev/null; rm -rf "$workdir"' EXIT
fail() { echo "$*"; exit 1; }
figure_test=ProgramTest.ItEndsAtOnceAndShowsNoCursorAsPartiesRequire
mkdir -p "$workdir/plain/data" "$workdir/heavy/data"
ln -s "$pack" "$workdir/plain/data/datafile.dat"
ln -s "$pack" "$workdir/heavy/data/datafile.dat"
convert -size 512x512 xc:gray +noise Random PNG24:"$workdir/heavy/data/big000.png" || fail "cannot make a picture"
for i in $(seq 1 199); do
    ln "$workdir/heavy/data/big000.png" "$workdir/heavy/data/big$(printf %03d "$i").png"
done

# start FOLDER ARGUMENT...: the program playing from FOLDER, its frames
# logged in FOLDER/frames.log; leaves its pid in pid and its window in window,
# once the window takes keys.
start() {
    local folder=$1
    shift
    rm -f "$folder/frames.log"
    (cd "$folder" && SDL_AUDIODRIVER=dummy TARNIX_FRAME_LOG="$folder/frames.log" exec "$program" "$@") &
    pid=$!
    window=$(find_window "$pid") || fail "$window"
    wait_for_keys "$window" "$pid" || exit 1
}

# frames FOLDER: the number of frames the program has presented.
frames() { if [ -f "$1/frames.log" ]; then wc -l <"$1/frames.log"; else echo 0; fi; }

# stop HOW LIMIT_MS WHAT: ends the program as HOW (escape, alt+f4, close)
# says and checks that it ends with status 0 within LIMIT_MS.
stop() {
    local latency
    latency=$("$control" stop "$window" "$pid" "$1") || fail "$3: $latency"
    wait "$pid"
    local status=$?
    pid=""
    [ "$status" -eq 0 ] || fail "$3: the program ended with status $status"
    echo "$3: ended $latency ms after the event (limit $2 ms)"
    figure "$3, ms from the event to the end" "$latency" ms
    awk -v l="$latency" -v limit="$2" 'BEGIN { exit !(l <= limit) }' || fail "$3: $latency ms is over $2 ms"
}

# ---- In the heart cloud, at --native ----
for how in escape alt+f4 close; do
    start "$workdir/plain" --native --start 28000
    for _ in $(seq 300); do
        [ "$(frames "$workdir/plain")" -ge 4 ] && break
        sleep 0.1
    done
    [ "$(frames "$workdir/plain")" -ge 4 ] || fail "fewer than 4 frames of the cloud in 30 s"
    # The longest time between the frames drawn so far, ms.
    frame_ms=$(awk 'NR > 1 && $2 - last > most { most = $2 - last } { last = $2 } END { print int(most + 0.5) }' \
        "$workdir/plain/frames.log")
    figure "a frame of the cloud at 1440 x 1080, ms" "$frame_ms" ms
    stop "$how" 100 "$how in the cloud at --native (a frame takes $frame_ms ms)"
done

# ---- While loading ----
start "$workdir/heavy" --native
[ "$(frames "$workdir/heavy")" -eq 0 ] || fail "the demo was playing before Escape could be sent in its loading"
stop escape 100 "escape while loading"
[ "$(frames "$workdir/heavy")" -eq 0 ] || fail "the loading went on to play the demo after Escape"

# ---- The cursor ----
for mode in "--native:hidden" ":hidden" "--window:shown"; do
    switch=${mode%:*} expected=${mode#*:}
    # shellcheck disable=SC2086 # no switch at all for plain fullscreen
    start "$workdir/plain" $switch
    seen=$("$control" cursor "$window") || fail "cannot look at the cursor: $seen"
    [ "$seen" = "$expected" ] || fail "${switch:-fullscreen}: the cursor over the picture is $seen, not $expected"
    echo "${switch:-fullscreen}: the cursor is $seen"
    stop escape 10000 "escape ${switch:-fullscreen}"
done
echo "the program ends at once and keeps its cursor off the picture"
