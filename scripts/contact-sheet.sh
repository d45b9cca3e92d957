#!/usr/bin/env bash
# The whole demo (or a range of it) at a glance: one picture of its frames at a
# fixed step, each labelled with its demo time.
#   scripts/contact-sheet.sh [--from MS] [--until MS] [--step MS] [--fps N] [--columns N] [--out FILE]
# Defaults: 0 to 60000 ms, a frame every 1000 ms as a 60-frames-a-second run
# draws it, 6 columns, build/contact-sheet.png. Installs what is missing (with
# ImageMagick), builds the program and its data, and captures on a virtual X
# server when there is no display. Each frame is its own one-frame capture
# from --start, which replays the earlier frames' motion exactly as a straight
# run would have drawn them.
set -euo pipefail
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

from=0 until=60000 step=1000 fps=60 columns=6 out="$repo/build/contact-sheet.png"
while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || { echo "contact-sheet: $1 needs a value" >&2; exit 2; }
    case $1 in
    --from) from=$2 ;;
    --until) until=$2 ;;
    --step) step=$2 ;;
    --fps) fps=$2 ;;
    --columns) columns=$2 ;;
    --out) out=$(realpath -m "$2") ;;
    *) echo "contact-sheet: unknown option $1 (see the head of $0)" >&2; exit 2 ;;
    esac
    shift 2
done
for number in "$from" "$until" "$step" "$fps" "$columns"; do
    [[ $number =~ ^[0-9]+$ ]] || { echo "contact-sheet: \"$number\" is not a whole number" >&2; exit 2; }
done
[ "$step" -gt 0 ] && [ "$columns" -gt 0 ] || { echo "contact-sheet: --step and --columns must be above 0" >&2; exit 2; }

install_missing $build_packages imagemagick
build_demo
program="$repo/build/app/tarnix"
if [ -z "${DISPLAY:-}" ]; then
    install_missing xvfb xauth
    start_xvfb
fi

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null; true' EXIT
labelled=()
say "capturing a frame every $step ms from $from to $until ms"
for ((t = from; t <= until; t += step)); do
    "$program" --capture "$work/$t" --start "$t" --until "$t" --fps "$fps" >/dev/null
    labelled+=(-label "$(printf '%d.%03d s' $((t / 1000)) $((t % 1000)))" "$work/$t/frame_00000.png")
done
mkdir -p "$(dirname "$out")"
montage "${labelled[@]}" -tile "${columns}x" -geometry 320x240+4+4 -background '#202020' -fill white -font DejaVu-Sans \
    -pointsize 16 "$out"
say "the contact sheet: $out ($(( ${#labelled[@]} / 3 )) frames)"
