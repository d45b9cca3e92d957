#!/usr/bin/env bash
# The two scripts a newcomer runs to see the demo, as a newcomer runs them:
#   play_scripts.sh REPO PROGRAM     (PROGRAM: this build's tarnix, its data beside it)
#
# The scripts run from a copy of scripts/ in a folder of the test's own, whose
# build/app is this build's, and with a cmake that does nothing (the program
# is built already), so nothing of the real build tree is touched.
# - play.sh without a display captures the demo into
#   build/capture/kelbo-vs-vistral.mp4 with the options given, on an X server
#   of its own; a capture that fails keeps the previous video there, whole.
# - contact-sheet.sh puts the frames of the range asked for side by side, each
#   the frame a capture at its time gives, labelled with its time.
set -u
repo=$1
program=$2
fail() { echo "$*"; exit 1; }
for tool in ffprobe montage compare; do
    command -v "$tool" >/dev/null || fail "$tool is missing"
done

workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
copy="$workdir/repo"
mkdir -p "$copy/build" "$workdir/bin" "$workdir/failing"
cp -r "$repo/scripts" "$copy/scripts"
ln -s "$(dirname "$program")" "$copy/build/app"
printf '#!/bin/sh\nexit 0\n' >"$workdir/bin/cmake"
cat >"$workdir/failing/ffmpeg" <<'STANDIN'
#!/bin/sh
case "$*" in *-encoders*) echo ' V....D libx264 H.264'; echo ' A..... aac AAC'; exit 0;; esac
echo 'Error initializing output stream 0:0' >&2
exit 1
STANDIN
chmod +x "$workdir/bin/cmake" "$workdir/failing/ffmpeg"
video="$copy/build/capture/kelbo-vs-vistral.mp4"

# ---- play.sh: a failed capture keeps the previous video ----
mkdir -p "$(dirname "$video")"
echo "the previous video" >"$video"
status=0
env -u DISPLAY PATH="$workdir/failing:$workdir/bin:$PATH" "$copy/scripts/play.sh" --fps 10 --until 500 \
    >"$workdir/failed.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || { cat "$workdir/failed.log"; fail "play.sh with a failing ffmpeg ended with status $status, not 1"; }
[ "$(cat "$video")" = "the previous video" ] || fail "a failed capture lost the previous video"

# ---- play.sh: the capture with the options given ----
env -u DISPLAY PATH="$workdir/bin:$PATH" "$copy/scripts/play.sh" --fps 10 --until 500 >"$workdir/play.log" 2>&1 ||
    { cat "$workdir/play.log"; fail "play.sh without a display failed"; }
grep -qF "the video: $video" "$workdir/play.log" || { cat "$workdir/play.log"; fail "play.sh did not name the video"; }
frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$video")
[ "$frames" = 6 ] || fail "the video has $frames frames, not the 6 of 0 to 500 ms at 10 a second"

# ---- contact-sheet.sh ----
sheet="$workdir/sheet.png"
env -u DISPLAY PATH="$workdir/bin:$PATH" "$copy/scripts/contact-sheet.sh" --from 3000 --until 5000 --step 1000 \
    --columns 3 --out "$sheet" >"$workdir/sheet.log" 2>&1 || { cat "$workdir/sheet.log"; fail "contact-sheet.sh failed"; }
size=$(identify -format '%wx%h' "$sheet")
[ "${size%x*}" = 984 ] || fail "the sheet is $size, not three 320-pixel frames with their borders across"
# The middle tile is the frame at 4 s, scaled down.
(cd "$workdir" && "$program" --capture at4000 --start 4000 --until 4000 --quiet) || fail "the capture at 4 s failed"
convert "$workdir/at4000/frame_00000.png" -resize 320x240 "$workdir/expected.png"
convert "$sheet" -crop 320x240+332+4 +repage -depth 8 "$workdir/tile.png"
psnr=$(compare -metric PSNR "$workdir/tile.png" "$workdir/expected.png" /dev/null 2>&1)
echo "figure: the contact sheet's 4 s tile against the frame at 4 s: $psnr dB"
awk -v p="$psnr" 'BEGIN { exit !(p == "inf" || p >= 30) }' || fail "the 4 s tile is not the frame at 4 s ($psnr dB)"
echo "play.sh and contact-sheet.sh passed"
