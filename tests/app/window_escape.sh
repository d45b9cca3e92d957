#!/usr/bin/env bash
# The program in demo mode on the X display: its window appears captioned
# "Kelbo vs. Vistral" at 640 x 480, and Escape ends it with status 0.
#
# On an X server of its own: a window shown without a window manager takes the
# keyboard focus, and a key sent to the focused window goes through the
# server's input (XTEST), so on a shared display another test's window that
# appears at that moment could be sent the Escape instead.
set -u
program=$1
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
source "$(dirname "$0")/../../scripts/common.sh"
start_xvfb

workdir=$(mktemp -d)
pid=""
trap 'kill "$pid" "$xvfb_pid" 2>/dev/null; rm -rf "$workdir"' EXIT
cd "$workdir"
"$program" &
pid=$!

window=""
for _ in $(seq 150); do
    # Its own window: other tests' windows on the display may bear the caption too.
    window=$(xdotool search --all --pid "$pid" --name '^Kelbo vs\. Vistral$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || { echo "program ended before its window appeared"; exit 1; }
    sleep 0.1
done
[ -n "$window" ] || { echo "no window captioned 'Kelbo vs. Vistral'"; exit 1; }

geometry=$(xwininfo -id "$window")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
if [ "$width" != 640 ] || [ "$height" != 480 ]; then
    echo "window is ${width}x${height}, expected 640x480"
    exit 1
fi

sleep 0.5
# Straight to the window, whichever window has the focus.
xdotool key --window "$window" Escape
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "program still running 10 s after Escape"
    exit 1
fi
wait "$pid"
status=$?
[ "$status" -eq 0 ] || { echo "program ended with status $status"; exit 1; }
echo "window 640x480 'Kelbo vs. Vistral', ended on Escape with status 0"
