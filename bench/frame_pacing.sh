#!/usr/bin/env bash
# Frame pacing of live play, read from the frame log (TARNIX_FRAME_LOG: a
# line per presented frame, its demo time and the steady clock's, in ms):
#   bench/frame_pacing.sh [SECONDS]     (default 8 a run)
# The program plays in a 640 x 480 window on an X server of its own from the
# opening (2 s), the heart cloud (30 s), the tunnel (50.5 s) and the closing
# (55 s); the web page (build/release/kelbo-vs-vistral.html, once
# scripts/release-web.sh has made it) plays in headless Chromium from the same
# starts. For each run: the frames a second, the time between presented
# frames (median and 99th percentile), and the demo time's error against the
# steady clock since the run's first frame (median and largest, ms; the demo
# time is read before a frame is drawn, the clock after it is shown, so the
# error holds the drawing's changes of length). Uses the normal build.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/common.sh
source "$repo/scripts/common.sh"
seconds=${1:-8}
program="$repo/build/app/tarnix"
page="$repo/build/release/kelbo-vs-vistral.html"
driver="$repo/build/web-test"
starts="2000 30000 50500 55000"
[ -x "$program" ] || { echo "build the program first (scripts/test.sh or cmake --build --preset test)" >&2; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is missing (apt-get install xdotool)" >&2; exit 1; }

workdir=$(mktemp -d)
xvfb_pid=""
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$workdir"' EXIT
start_xvfb
trap 'kill $xvfb_pid 2>/dev/null; rm -rf "$workdir"' EXIT  # start_xvfb set its own

# summarize NAME LOG: one line of figures from a frame log.
summarize() {
    sort -k2,2n "$2" | awk -v name="$1" '
        NR == 1 { demo0 = $1; wall0 = $2 }
        NR > 1 { gap[NR - 1] = $2 - last }
        { error = ($1 - demo0) - ($2 - wall0); errors[NR] = error < 0 ? -error : error; last = $2; n = NR }
        function sorted_at(values, count, share,   i, j, t, copy) {
            for (i = 1; i <= count; i++) copy[i] = values[i]
            for (i = 2; i <= count; i++) { t = copy[i]; for (j = i - 1; j >= 1 && copy[j] > t; j--) copy[j + 1] = copy[j]; copy[j + 1] = t }
            i = int(share * count + 0.999999); if (i < 1) i = 1; if (i > count) i = count
            return copy[i]
        }
        END {
            if (n < 3) { printf "%-28s too few frames (%d)\n", name, n; exit }
            printf "%-28s %6.1f frames/s   between frames: median %6.1f ms, 99th %6.1f ms   demo time error: median %5.1f ms, most %6.1f ms\n",
                   name, (n - 1) * 1000 / (last - wall0), sorted_at(gap, n - 1, 0.5), sorted_at(gap, n - 1, 0.99),
                   sorted_at(errors, n, 0.5), sorted_at(errors, n, 1)
        }'
}

echo "== the program in a window"
for start in $starts; do
    log="$workdir/desktop_$start.log"
    (cd "$workdir" && SDL_AUDIODRIVER=dummy TARNIX_FRAME_LOG="$log" exec "$program" --window --start "$start" \
        >/dev/null 2>&1) &
    pid=$!
    sleep "$seconds"
    window=$(xdotool search --all --pid "$pid" --name '^Kelbo vs\. Vistral$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && xdotool key --window "$window" Escape 2>/dev/null
    sleep 1
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    # The first second is the music starting and the first frames' caches.
    awk -v from="$((start + 1000))" '$1 >= from' "$log" >"$log.steady"
    summarize "from $start ms" "$log.steady"
done

if [ -f "$page" ] && [ -d "$driver/node_modules" ]; then
    echo "== the web page in Chromium"
    unset DISPLAY
    cp "$repo/tests/web/driver.js" "$repo/bench/frame_pacing_page.js" "$driver/"
    for start in $starts; do
        log="$workdir/page_$start.log"
        node "$driver/frame_pacing_page.js" "$page" "$start" "$seconds" >"$log"
        awk -v from="$((start + 1000))" '$1 >= from' "$log" >"$log.steady"
        summarize "from $start ms" "$log.steady"
    done
else
    echo "== no web page: make it with scripts/release-web.sh, and puppeteer-core with the suite's web test"
fi
