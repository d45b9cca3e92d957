# shellcheck shell=bash
# The program's window on an X display, for the test scripts: sourced.
#
# Each script runs on an X server of its own: a window shown without a window
# manager takes the keyboard focus, and a key sent to the focused window goes
# through the server's input (XTEST), so on a shared display another test's
# window that appears at that moment could be sent the Escape instead.

# find_window PID: prints the id of the window captioned "Kelbo vs. Vistral"
# that the process PID opened, waiting up to 15 s; fails (with the reason on
# standard output) if the process ends first or none appears.
find_window() {
    local pid=$1 window=""
    for _ in $(seq 150); do
        # Its own window: other programs' windows may bear the caption too.
        window=$(xdotool search --all --pid "$pid" --name '^Kelbo vs\. Vistral$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && { echo "$window"; return 0; }
        kill -0 "$pid" 2>/dev/null || { echo "program ended before its window appeared"; return 1; }
        sleep 0.1
    done
    echo "no window captioned 'Kelbo vs. Vistral'"
    return 1
}

# find_window_named PATTERN PID: prints the id of a window whose caption
# matches PATTERN while PID runs, waiting up to 30 s; fails (with the reason on
# standard output) if PID ends first or none appears. For programs whose
# windows belong to another process (Wine's).
find_window_named() {
    local pattern=$1 pid=$2 window=""
    for _ in $(seq 300); do
        window=$(xdotool search --name "$pattern" 2>/dev/null | head -n 1)
        [ -n "$window" ] && { echo "$window"; return 0; }
        kill -0 "$pid" 2>/dev/null || { echo "ended before its window appeared"; return 1; }
        sleep 0.1
    done
    echo "no window after 30 s"
    return 1
}

# window_geometry WINDOW: prints "X Y WIDTH HEIGHT" of the window on the screen.
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
                             /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

# wait_for_keys WINDOW PID: waits up to 15 s until the window is shown and
# someone listens for key presses on it (a key sent to it before then is
# lost); fails (with the reason on standard output) if PID ends first or that
# does not happen.
wait_for_keys() {
    local state
    for _ in $(seq 150); do
        state=$(xwininfo -id "$1" -stats -events 2>/dev/null)
        if grep -q 'Map State: IsViewable' <<<"$state" &&
            sed -n '/Someone wants these events:/,/Do not propagate/p' <<<"$state" | grep -qw KeyPress; then
            return 0
        fi
        kill -0 "$2" 2>/dev/null || { echo "program ended before its window took keys"; return 1; }
        sleep 0.1
    done
    echo "the window was not shown taking keys within 15 s"
    return 1
}

# wait_for_end PID: waits up to 10 s for PID, a child of this shell, to end,
# and leaves its exit status in ended_status; fails if it still runs.
wait_for_end() {
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$1" 2>/dev/null && return 1
    ended_status=0
    wait "$1" || ended_status=$?
}

# end_with_escape PID WINDOW: sends Escape straight to the window and waits up
# to 10 s for the process; fails unless it ended with status 0.
end_with_escape() {
    xdotool key --window "$2" Escape
    wait_for_end "$1" || { echo "program still running 10 s after Escape"; return 1; }
    [ "$ended_status" -eq 0 ] || { echo "program ended with status $ended_status"; return 1; }
}
