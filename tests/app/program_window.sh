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

# window_geometry WINDOW: prints "X Y WIDTH HEIGHT" of the window on the screen.
window_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
                             /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

# end_with_escape PID WINDOW: sends Escape straight to the window and waits up
# to 10 s for the process; fails unless it ended with status 0.
end_with_escape() {
    local pid=$1 window=$2 status
    xdotool key --window "$window" Escape
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && { echo "program still running 10 s after Escape"; return 1; }
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || { echo "program ended with status $status"; return 1; }
}
