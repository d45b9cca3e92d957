#!/usr/bin/env bash
# --native on a 1920 x 1080 screen, the shape of today's flat panels: the
# window covers the screen with no mode switch, the 4:3 picture fills its
# height (1440 x 1080, 2.25 times the window's) between black bars and shows
# the demo (a frame of its opening, past the loading bar), Escape ends it with
# status 0; and frames captured at that size, reduced to 640 x 480, are the
# frames of a plain capture.
set -u
program=$1
for tool in xdotool convert compare mogrify import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 1; }
done
here=$(dirname "$0")
# shellcheck source=../../scripts/common.sh
source "$here/../../scripts/common.sh"
# shellcheck source=program_window.sh
source "$here/program_window.sh"
start_xvfb 1920x1080

workdir=$(mktemp -d)
pid=""
trap 'kill "$pid" "$xvfb_pid" 2>/dev/null; rm -rf "$workdir"' EXIT
cd "$workdir" || exit 1
fail() { echo "$*"; exit 1; }

# The largest channel value in a region of a picture, 0 to 255.
brightest() { convert "$1" -crop "$2" +repage -format '%[fx:int(255*maxima)]' info:; }
bars_are_black() {
    [ "$(brightest "$1" 240x1080+0+0)" = 0 ] && [ "$(brightest "$1" 240x1080+1680+0)" = 0 ]
}

# The demo's first 18.5 s, two frames a second, at 160 x 120: a frame of them
# lies within 21 dB of any other frame of that time, the loading bar and a
# black screen within 11 dB of none.
"$program" --capture opening --fps 2 --until 18500 --quiet || fail "the capture of the opening failed"
mkdir opening-small
mogrify -path opening-small -filter Box -resize '160x120!' opening/frame_*.png
# shows_the_demo PICTURE: the picture between the bars is a frame of the
# opening (within 16 dB of one).
shows_the_demo() {
    local frame psnr
    convert "$1" -crop 1440x1080+240+0 +repage -filter Box -resize '160x120!' live-small.png || return 1
    for frame in opening-small/*.png; do
        psnr=$(compare -metric PSNR live-small.png "$frame" null: 2>&1)
        awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p + 0 >= 16) }' && return 0
    done
    return 1
}

SDL_AUDIODRIVER=dummy "$program" --native &
pid=$!
window=$(find_window "$pid") || fail "$window"
geometry=$(window_geometry "$window")
[ "$geometry" = "0 0 1920 1080" ] || fail "the window's x, y, width and height are $geometry, not 0 0 1920 1080"
# Pictures of the screen until the demo shows, past the loading bar (30 s at most).
shown=""
for picture in $(seq 60); do
    import -window root screen.png || fail "cannot take a picture of the screen"
    shows_the_demo screen.png && { shown=$picture; break; }
    kill -0 "$pid" 2>/dev/null || fail "the program ended before the demo showed"
    sleep 0.2
done
[ -n "$shown" ] || fail "no picture of the screen showed the demo's opening within 30 s"
echo "picture $shown of the screen showed the demo"
bars_are_black screen.png || fail "the bars beside the picture are not black"
[ "$(brightest screen.png 1440x1080+240+0)" -gt 64 ] || fail "the picture between the bars is dark"
wait_for_keys "$window" "$pid" || exit 1
end_with_escape "$pid" "$window" || exit 1
pid=""

# The least PSNR in dB of each section's frame reduced to 640 x 480 against
# the plain frame. Where the picture is made of fine detail the finer frame
# shows more of it: the closing pictures are drawn from textures larger than
# 640 x 480, and the tunnel's 2-pixel points snap to the plain frame's pixel
# grid while the finer frame draws them where they are.
for case in 3000:35 12000:35 30000:30 45500:38 51000:24 60000:27; do
    time=${case%:*} least=${case#*:}
    "$program" --native --capture "native$time" --start "$time" --until "$time" --quiet ||
        fail "the --native capture at $time ms failed"
    "$program" --capture "plain$time" --start "$time" --until "$time" --quiet ||
        fail "the plain capture at $time ms failed"
    frame="native$time/frame_00000.png"
    [ "$(identify -format %wx%h "$frame")" = 1920x1080 ] || fail "the frame at $time ms is $(identify -format %wx%h "$frame")"
    bars_are_black "$frame" || fail "the bars of the frame at $time ms are not black"
    convert "$frame" -crop 1440x1080+240+0 +repage -filter Box -resize '640x480!' "reduced$time.png"
    psnr=$(compare -metric PSNR "reduced$time.png" "plain$time/frame_00000.png" null: 2>&1)
    awk -v p="$psnr" -v l="$least" 'BEGIN { exit !(p == "inf" || p + 0 >= l) }' ||
        fail "at $time ms the reduced frame is $psnr dB from the plain one, less than $least dB"
    echo "at $time ms: $psnr dB (at least $least)"
done
echo "--native covers the 1920x1080 screen, pillarboxed in black, and draws the plain frames finer"
