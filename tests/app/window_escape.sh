#!/usr/bin/env bash
# The program in demo mode on the X display, asked for --native and --window
# at once: --window wins, so its window appears captioned "Kelbo vs. Vistral"
# at 640 x 480 (not the screen's 1024 x 768), and Escape ends it with status 0.
set -u
program=$1
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
here=$(dirname "$0")
# shellcheck source=../../scripts/common.sh
source "$here/../../scripts/common.sh"
# shellcheck source=program_window.sh
source "$here/program_window.sh"
start_xvfb

workdir=$(mktemp -d)
pid=""
trap 'kill "$pid" "$xvfb_pid" 2>/dev/null; rm -rf "$workdir"' EXIT
cd "$workdir" || exit 1
"$program" --native --window &
pid=$!

window=$(find_window "$pid") || { echo "$window"; exit 1; }
read -r _ _ width height < <(window_geometry "$window")
if [ "$width" != 640 ] || [ "$height" != 480 ]; then
    echo "window is ${width}x${height}, expected 640x480"
    exit 1
fi

wait_for_keys "$window" "$pid" || exit 1
end_with_escape "$pid" "$window" || exit 1
echo "window 640x480 'Kelbo vs. Vistral', ended on Escape with status 0"
