#!/usr/bin/env bash
# Installs what is missing, builds the program, generates the demo's data beside it
# and plays the demo; Escape ends it. Options are the program's own (--window,
# --start MS, ...).
#
# Without a display (DISPLAY unset) the demo is captured instead, on a virtual X
# server: frames and sound into build/capture, and a video of them when ffmpeg
# is installed.
set -euo pipefail
source "$(dirname "$0")/common.sh"

install_missing $build_packages
configure_and_build build demo-data $(demo_build_options)
program="$repo/build/app/tarnix"

if [ -n "${DISPLAY:-}" ]; then
    say "playing; Escape ends the demo"
    exec "$program" "$@"
fi

install_missing xvfb xauth
start_xvfb
capture="$repo/build/capture"
rm -rf "$capture"
fps=60
previous=""
for argument in "$@"; do
    [ "$previous" = "--fps" ] && fps=$argument
    previous=$argument
done
say "no display: capturing the demo offline into $capture (a few minutes on a software renderer)"
status=0
"$program" --capture "$capture" "$@" || status=$?
if [ "$status" -ne 0 ]; then
    say "the capture did not finish (status $status): no video made; what it holds is in $capture" >&2
    exit "$status"
fi
first=$(cd "$capture" && ls frame_*.png | head -n 1)
digits=$(( ${#first} - 10 ))  # the number between "frame_" and ".png"
if command -v ffmpeg >/dev/null; then
    ffmpeg -y -loglevel error -framerate "$fps" -i "$capture/frame_%0${digits}d.png" -i "$capture/sound.wav" \
        -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$capture/kelbo-vs-vistral.mp4"
    say "the video: $capture/kelbo-vs-vistral.mp4 (frames and sound beside it)"
else
    say "the frames ($capture/frame_*.png, $fps a second) and the sound ($capture/sound.wav) are in $capture;" \
        "install ffmpeg for a video"
fi
