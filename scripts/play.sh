#!/usr/bin/env bash
# Installs what is missing, builds the program, generates the demo's data beside it
# and plays the demo; Escape ends it. Options are the program's own (--window,
# --start MS, ...).
#
# Without a display (DISPLAY unset) the demo is captured instead, on a virtual X
# server, straight into the video build/capture/kelbo-vs-vistral.mp4 (ffmpeg is
# installed for it); the program's options still apply (--preset party, ...).
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

install_missing $build_packages
build_demo
program="$repo/build/app/tarnix"

if [ -n "${DISPLAY:-}" ]; then
    say "playing; Escape ends the demo"
    exec "$program" "$@"
fi

install_missing xvfb xauth ffmpeg
start_xvfb
capture="$repo/build/capture"
video="$capture/kelbo-vs-vistral.mp4"
# The previous video stays until the new one is whole: the program writes it
# under a temporary name and moves it into place only then.
mkdir -p "$capture"
say "no display: capturing the demo offline into $video (a few minutes on a software renderer)"
status=0
"$program" --capture "$video" "$@" || status=$?
if [ "$status" -ne 0 ]; then
    say "the capture did not finish (status $status): see the line above" >&2
    exit "$status"
fi
say "the video: $video ($(du -h "$video" | cut -f1))"
