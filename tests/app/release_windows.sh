#!/usr/bin/env bash
# The Windows zip, run under Wine on Xvfb.
#   release_windows.sh REPO PROGRAM     (PROGRAM: the normal build's tarnix)
#
# - scripts/release-windows.sh twice gives the same bytes: the first time
#   through the compiler cache (objects an earlier run compiled), the second
#   with the program compiled from an empty build tree, every object by the
#   compiler (the libraries stay cached: they are built again only when their
#   recipe changes); the second run compiles while the first one's zip is
#   checked.
# - The zip holds tarnix.exe, SDL.dll, SDL_mixer.dll, the normal build's data
#   pack and the nfo (ASCII, CRLF lines within 80 columns, listing the
#   switches the program's parser accepts, no other), nothing else; the
#   program needs SDL.dll and Windows' OpenGL, SDL_mixer.dll needs SDL.dll,
#   and none of them a MinGW runtime DLL (as objdump lists them).
# - release-windows-libraries.sh refuses, in one line, a prefix that is there
#   already (/usr/local given by hand), and leaves it as it was.
# - With the zip unpacked and Wine's prefix in the build tree
#   (build/release/wine): tarnix.exe --help prints the normal build's help
#   byte for byte, status 0; captures started from an empty directory (the
#   first 2 s, and 200 ms at 10, 30, 46, 53 and 58 s, 10 frames a second)
#   give the normal build's frames within 40 dB PSNR and its sound within a
#   step of rounding in every sample, and log nothing; SDL_mixer.dll is
#   loaded from the program's folder only: with it
#   missing there, one planted in the working folder is not, and the capture
#   says in one line that it is missing from the program's folder; the content
#   tool's --convert3DtoDVM, --createDataPack and --hexdumpDataPack write the
#   normal build's bytes; a damaged pack gives the normal build's line and
#   status; a capture to a video without ffmpeg.exe says in one line where
#   to put one; with the encoder stand-in beside the program, the video of a
#   second has the normal build's frames (PSNR, and the same arguments to
#   ffmpeg), a stalled encoder ends the capture in its line within seconds,
#   killed, nothing left, the program killed outright takes its encoder with
#   it, Ctrl+C leaves a whole video, and a full disk is named in the
#   encoder's line; the demo plays in its window, its sound
#   through SDL's disk audio driver, until that holds 3 s of music, and ends
#   on Escape with status 0, nothing logged; and in the development mode, on
#   loose data, a file of data/ written anew once the mode runs is loaded
#   again. A zip whose SDL_mixer.dll does not load plays silent and says so:
#   it fails.
#
# Needs no root. Each step's time is printed.
set -u
repo=$1
program=$2
command -v wine >/dev/null || { echo "wine is missing (apt-get install wine wine64)"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
command -v unzip >/dev/null || { echo "unzip is missing"; exit 1; }
# shellcheck source=../../scripts/common.sh
source "$repo/scripts/common.sh"
# shellcheck source=program_window.sh
source "$repo/tests/app/program_window.sh"
# shellcheck source=release_checks.sh
source "$repo/tests/app/release_checks.sh"
name=kelbo-vs-vistral
zip="$repo/build/release/$name-windows-x86_64.zip"
generator="$(dirname "$program")/../tools/make-demo-data"
[ -x "$generator" ] || { echo "$generator is missing: build the normal tree with its tools"; exit 1; }
fail() { echo "$*"; exit 1; }

workdir=$(mktemp -d)
play_pid="" xvfb_pid="" second_pid=""
# Wine's own server of the prefix goes before the X server it talks to.
clean_up() {
    kill $play_pid 2>/dev/null
    [ -z "$second_pid" ] || kill -- -"$second_pid" 2>/dev/null
    [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null
    kill $xvfb_pid 2>/dev/null
    wait 2>/dev/null
    rm -rf "$workdir"
}
trap clean_up EXIT
started=$SECONDS step_started=$SECONDS
figure_test=ReleaseTest.TheWindowsZipPlaysUnderWine
step_time() {
    echo "-- $1: $((SECONDS - step_started)) s"
    figure "time, $1" $((SECONDS - step_started)) s
    step_started=$SECONDS
}

# Wine's prefix in the build tree, made (when missing, half a minute) while
# the zip is built; its server stays up between the runs below (a second
# each otherwise) until clean_up ends it.
export WINEPREFIX="$repo/build/release/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start_xvfb
trap clean_up EXIT  # start_xvfb set its own
mkdir -p "$WINEPREFIX"
(wineserver -p && wineboot -i) >"$workdir/wineboot.log" 2>&1 &
wine_ready=$!

# ---- Two runs, the same bytes ----
# The second, from an empty build tree, runs while the first's zip is
# checked (its compiler at the lowest priority); the two are compared at the
# end.
"$repo/scripts/release-windows.sh" >"$workdir/first.log" 2>&1 || { cat "$workdir/first.log"; fail "release-windows.sh failed"; }
sed -n 's/^== \(.*: [0-9]* min [0-9]* s\)$/   release-windows.sh, \1/p' "$workdir/first.log"
cp "$zip" "$workdir/first.zip"
# A session of its own: clean_up ends it with its compilers.
setsid "$repo/scripts/release-windows.sh" --clean >"$workdir/second.log" 2>&1 &
second_pid=$!
step_time "release-windows.sh"

# ---- What the zip holds ----
unpacked="$workdir/unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && unzip -q "$workdir/first.zip") || fail "the zip does not unpack"
folder="$unpacked/$name"
listed=$(cd "$unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected="./$name/SDL.dll ./$name/SDL_mixer.dll ./$name/data/datafile.dat ./$name/$name.nfo ./$name/tarnix.exe "
[ "$listed" = "$expected" ] || fail "the zip holds $listed; expected $expected"
cmp -s "$folder/data/datafile.dat" "$(dirname "$program")/data/datafile.dat" ||
    fail "the zip's data pack is not the normal build's"
command -v x86_64-w64-mingw32-objdump >/dev/null || fail "x86_64-w64-mingw32-objdump is missing (package binutils-mingw-w64-x86-64)"
for file in tarnix.exe SDL.dll SDL_mixer.dll; do
    listing=$(x86_64-w64-mingw32-objdump -p "$folder/$file") || fail "objdump cannot read $file"
    needed=$(awk '/DLL Name:/ {print $3}' <<<"$listing" | tr '\n' ' ')
    case $file in
    tarnix.exe) wanted="SDL.dll OPENGL32.dll KERNEL32.dll" ;;
    SDL.dll) wanted="KERNEL32.dll" ;;
    SDL_mixer.dll) wanted="SDL.dll KERNEL32.dll" ;;
    esac
    for dll in $wanted; do
        grep -qiw -- "$dll" <<<"$needed" || fail "$file does not need $dll (objdump lists: $needed)"
    done
    [[ " $needed" =~ \ (lib|mingw) ]] && fail "$file needs a MinGW runtime DLL: $needed"
    echo "$file needs: $needed"
done
LC_ALL=C grep -q -P '[^\x00-\x7F]' "$folder/$name.nfo" && fail "the nfo is not plain ASCII"
LC_ALL=C grep -q -v $'\r$' "$folder/$name.nfo" && fail "the nfo has a line not ended by CRLF"
longest=$(tr -d '\r' <"$folder/$name.nfo" | awk '{ if (length($0) > n) n = length($0) } END { print n }')
[ "$longest" -le 80 ] || fail "the nfo has a line of $longest columns"
check_nfo_switches "the nfo" "$folder/$name.nfo" "$repo" || fail "the nfo's switches are not the program's"
check_nfo_warning "the nfo" "$folder/$name.nfo" "$program" || fail "the nfo does not warn first of the flashes"
step_time "the zip's content"

# A prefix that is there already is refused before anything is downloaded.
mkdir -p "$workdir/prefix/lib"
echo kept >"$workdir/prefix/lib/kept"
refusal=$(bash "$repo/scripts/release-windows-libraries.sh" "$workdir/prefix" "$workdir/sources" 2>&1) &&
    fail "release-windows-libraries.sh built into a folder that was there already"
[ "$(cat "$workdir/prefix/lib/kept" 2>/dev/null)" = kept ] && [ ! -e "$workdir/sources" ] ||
    fail "release-windows-libraries.sh changed the prefix it refused, or downloaded: $refusal"
[ "$(wc -l <<<"$refusal")" -eq 1 ] && [[ $refusal == *"$workdir/prefix"* ]] ||
    fail "release-windows-libraries.sh refused a prefix without one line naming it: $refusal"

# ---- Under Wine ----
wait "$wine_ready" || { cat "$workdir/wineboot.log"; fail "Wine's prefix could not be made in $WINEPREFIX"; }
wine "$folder/tarnix.exe" --help >"$workdir/help.txt" 2>"$workdir/help.err" ||
    { cat "$workdir/help.err"; fail "tarnix.exe --help failed under Wine"; }
# The same but for what each build does, its last lines.
cmp -s <("$program" --help | sed '/^What this build does/,$d') <(sed '/^What this build does/,$d' "$workdir/help.txt") ||
    fail "tarnix.exe --help does not print the normal build's help"
step_time "--help (Wine's prefix made meanwhile when missing)"

# The captures, from an empty directory, against the normal build's.
mkdir -p "$workdir/empty" "$workdir/reference"
(cd "$workdir/empty" && capture_plan | capture_all wine "$folder/tarnix.exe" &&
    capture_plan | again_if_killed wine "$folder/tarnix.exe")
(cd "$workdir/reference" && capture_plan | capture_all "$program")
while read -r capture _; do
    [ "$(cat "$workdir/reference/$capture.status")" = 0 ] || { cat "$workdir/reference/$capture.log"; fail "the normal build's capture $capture failed"; }
done < <(capture_plan)
capture_plan | compare_captures "under Wine" "$workdir/reference" "$workdir/empty" ||
    fail "the captures under Wine are not the normal build's"
[ "$(ls "$workdir"/empty/opening/frame_*.png | wc -l)" -eq 21 ] || fail "the capture of the first 2 s under Wine has not 21 frames"

# The program's folder without SDL_mixer.dll, and a working one with the data
# and a working SDL_mixer.dll (ours): the program must not load it.
planted="$workdir/planted"
mkdir -p "$planted/program" "$planted/work/data"
cp "$folder/tarnix.exe" "$folder/SDL.dll" "$planted/program/"
cp "$folder/SDL_mixer.dll" "$planted/work/"
cp "$folder/data/datafile.dat" "$planted/work/data/"
(cd "$planted/work" && wine "$planted/program/tarnix.exe" --capture frames --until 0 --quiet) >"$workdir/planted.log" 2>&1 ||
    { cat "$workdir/planted.log"; fail "a capture without SDL_mixer.dll in the program's folder failed"; }
missing="tarnix: no audio device, playing without sound: SDL_mixer.dll is missing from the program's folder"
missing="$missing $(winepath -w "$planted/program" 2>/dev/null)"
[ "$(tr -d '\r' <"$workdir/planted.log")" = "$missing" ] ||
    { cat "$workdir/planted.log"; fail "without SDL_mixer.dll in its folder, the program did not say only: $missing"; }
echo "SDL_mixer.dll planted in the working folder: not loaded"
step_time "the captures"

# A damaged pack: the same line naming it, and the same status, as the normal build.
mkdir -p "$workdir/damaged/data"
head -c 3000 "$folder/data/datafile.dat" >"$workdir/damaged/data/datafile.dat"
damage() {
    (cd "$workdir/damaged" && "$@" --capture out --until 0 --quiet 2>&1 >/dev/null | tr -d '\r' | head -n 1
        exit "${PIPESTATUS[0]}")
}
linux_damage=$(damage "$program") && fail "the normal build played a damaged pack"
linux_status=$?
[ -n "$linux_damage" ] || fail "the normal build said nothing of a damaged pack"
windows_damage=$(damage wine "$folder/tarnix.exe")
windows_status=$?
[ "$windows_damage" = "$linux_damage" ] ||
    fail "a damaged pack: \"$windows_damage\" under Wine, \"$linux_damage\" on Linux"
[ "$windows_status" = "$linux_status" ] || fail "a damaged pack: status $windows_status under Wine, $linux_status on Linux"
echo "a damaged pack, on both: \"$linux_damage\", status $linux_status"

tools="$workdir/tools"
mkdir -p "$tools/linux/data" "$tools/windows/data" "$tools/linux/out/data" "$tools/windows/out/data"
"$generator" "$tools/linux/data" >/dev/null || fail "the data generator failed"
cp -a "$tools/linux/data/." "$tools/windows/data/"
(cd "$tools/linux" && "$program" --convert3DtoDVM greeble.3ds >/dev/null) || fail "--convert3DtoDVM failed"
(cd "$tools/windows" && wine "$folder/tarnix.exe" --convert3DtoDVM greeble.3ds >/dev/null) ||
    fail "--convert3DtoDVM failed under Wine"
cmp -s "$tools/linux/data/greeble.dvm" "$tools/windows/data/greeble.dvm" || fail "--convert3DtoDVM: another mesh"
rm "$tools"/*/data/greeble.3ds
(cd "$tools/linux/out" && "$program" --createDataPack ../data >/dev/null) || fail "--createDataPack failed"
(cd "$tools/windows/out" && wine "$folder/tarnix.exe" --createDataPack ../data >/dev/null) ||
    fail "--createDataPack failed under Wine"
cmp -s "$tools/linux/out/data/datafile.dat" "$tools/windows/out/data/datafile.dat" || fail "--createDataPack: another pack"
(cd "$tools/linux/out" && "$program" --hexdumpDataPack) >"$tools/linux.hex" || fail "--hexdumpDataPack failed"
(cd "$tools/windows/out" && wine "$folder/tarnix.exe" --hexdumpDataPack) >"$tools/windows.hex" ||
    fail "--hexdumpDataPack failed under Wine"
cmp -s "$tools/linux.hex" "$tools/windows.hex" || fail "--hexdumpDataPack: another dump"
step_time "the content tool"

# ---- Captures to a video ----
# Wine starts Linux programs from Windows ones, but hands them none of the
# pipes the program gives its encoder (the child's descriptors 3 and 4), so
# the machine's ffmpeg cannot stand in for ffmpeg.exe: a stand-in cross-built
# here does (tests/support/EncoderStandIn.cpp), beside tarnix.exe. It keeps
# the streams it is given, and the machine's ffmpeg makes the video from them
# with the arguments the program gave it.
video="$workdir/video"
mkdir -p "$video/wrapper" "$video/full" "$video/a folder"  # a space, as in many a Windows path
status=0
wine "$folder/tarnix.exe" --capture "$video/none.mp4" >"$video/none.log" 2>&1 || status=$?
[ "$status" -eq 1 ] && [ "$(grep -c . "$video/none.log")" -eq 1 ] &&
    grep -qF 'none beside tarnix.exe or on the PATH (install ffmpeg or put ffmpeg.exe beside tarnix.exe)' "$video/none.log" ||
    { cat "$video/none.log"; fail "without ffmpeg.exe, a capture to a video did not say in one line where it goes (status $status)"; }
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -static -o "$folder/ffmpeg.exe" "$repo/tests/support/EncoderStandIn.cpp" ||
    fail "the encoder stand-in does not build"
stretch=(--start 46000 --until 47000)
status=0
wine "$folder/tarnix.exe" --capture "$video/a folder/windows.mp4" "${stretch[@]}" >"$video/video.log" 2>&1 || status=$?
video_status=$status
[ "$status" -eq 0 ] || { cat "$video/video.log"; fail "a capture to a video under Wine ended with status $status"; }
# The normal build's video of the same stretch, through the machine's ffmpeg
# with its arguments noted.
real_ffmpeg=$(command -v ffmpeg) || fail "ffmpeg is missing"
printf '#!/bin/sh\nprintf "%%s\\n" ffmpeg "$@" >"%s"\nexec "%s" "$@"\n' "$video/linux.arguments" "$real_ffmpeg" \
    >"$video/wrapper/ffmpeg"
chmod +x "$video/wrapper/ffmpeg"
PATH="$video/wrapper:$PATH" "$program" --quiet --capture "$video/linux.mp4" "${stretch[@]}" >"$video/linux.log" 2>&1 ||
    { cat "$video/linux.log"; fail "the normal build's capture to a video failed"; }
cmp -s <(sed '$d' "$video/linux.arguments") <(sed '$d' "$video/a folder/windows.mp4.part.arguments") ||
    { diff "$video/linux.arguments" "$video/a folder/windows.mp4.part.arguments"; fail "ffmpeg.exe was not given the normal build's arguments"; }
[ "$(tail -n 1 "$video/a folder/windows.mp4.part.arguments")" = "file:$video/a folder/windows.mp4.part" ] ||
    fail "ffmpeg.exe was given another file to write: $(tail -n 1 "$video/a folder/windows.mp4.part.arguments")"
mapfile -t arguments <"$video/a folder/windows.mp4.part.arguments"
arguments=("${arguments[@]/#pipe:3/$video/a folder/windows.mp4}")
arguments=("${arguments[@]/#pipe:4/$video/a folder/windows.mp4.part.sound}")
"$real_ffmpeg" "${arguments[@]:1:${#arguments[@]}-2}" "file:$video/from-windows.mp4" ||
    fail "ffmpeg cannot encode what ffmpeg.exe was given"
counted() { ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames -of csv=p=0 "$1" | tr '\n' ' '; }
[ "$(counted "$video/from-windows.mp4")" = "$(counted "$video/linux.mp4")" ] ||
    fail "the video under Wine holds $(counted "$video/from-windows.mp4")frames, the normal build's $(counted "$video/linux.mp4")"
psnr=$(ffmpeg -hide_banner -nostats -i "$video/from-windows.mp4" -i "$video/linux.mp4" -lavfi '[0:v][1:v]psnr' -f null - 2>&1 |
    sed -n 's/.*PSNR .*average:\([0-9.]*\|inf\) .*/\1/p')
[ -n "$psnr" ] && awk -v psnr="$psnr" 'BEGIN { exit !(psnr == "inf" || psnr + 0 >= 40) }' ||
    fail "the video under Wine is not the normal build's: PSNR ${psnr:-unknown} dB"
echo "the video under Wine against the normal build's: PSNR $psnr dB, the same arguments, frames $(counted "$video/linux.mp4")"
figure "video against the normal build's, PSNR" "$psnr" dB

# An encoder that takes nothing is given up, killed, and nothing is left.
started_at=$(date +%s.%N)
status=0
ENCODER_STANDIN=stall wine "$folder/tarnix.exe" --capture "$video/stalled.mp4" >"$video/stalled.log" 2>&1 || status=$?
seconds=$(echo "$(date +%s.%N) - $started_at" | bc)
[ "$status" -eq 1 ] &&
    grep -q 'stalled.mp4: ffmpeg has taken nothing for 5 s and does no work: the capture failed after' "$video/stalled.log" ||
    { cat "$video/stalled.log"; fail "a stalled encoder did not end the capture with its line (status $status)"; }
left=$(cd "$video" && ls stalled.mp4* 2>/dev/null)
[ -z "$left" ] || fail "a stalled encoder left $left"
pgrep -f "file:$video/stalled" >/dev/null && fail "the stalled encoder still runs"
echo "a stalled encoder: the capture ended after $seconds s, the encoder killed"
figure "stalled encoder, capture ended after" "$seconds" s
# The program killed outright: its encoder goes with it.
wine "$folder/tarnix.exe" --capture "$video/killed.mp4" --until 60000 >"$video/killed.log" 2>&1 &
disown  # to be killed: no word of it from the shell
for _ in $(seq 600); do
    [ "$(stat -c %s "$video/killed.mp4.part" 2>/dev/null || echo 0)" -gt 3000000 ] && break
    sleep 0.1
done
pgrep -f "file:$video/killed.mp4.part" >/dev/null || { cat "$video/killed.log"; fail "the encoder of a long capture did not start"; }
pkill -KILL -f "tarnix.exe --capture $video/killed.mp4"
started_at=$(date +%s.%N)
for _ in $(seq 100); do
    pgrep -f "file:$video/killed.mp4.part" >/dev/null || break
    sleep 0.05
done
seconds=$(echo "$(date +%s.%N) - $started_at" | bc)
pgrep -f "file:$video/killed.mp4.part" >/dev/null && fail "the encoder still runs 5 s after the program was killed"
echo "the program killed: its encoder ended within $seconds s"
figure "program killed, encoder ended within" "$seconds" s
# A stop (Ctrl+C: Wine makes a console's Ctrl+C of SIGINT) leaves a whole
# video: as many frames as the line says, and their sound exactly.
wine "$folder/tarnix.exe" --capture "$video/stopped.mp4" --fps 30 --until 60000 >"$video/stopped.log" 2>&1 &
stopping=$!
for _ in $(seq 600); do
    [ "$(stat -c %s "$video/stopped.mp4.part" 2>/dev/null || echo 0)" -gt 3000000 ] && break
    sleep 0.1
done
pkill -INT -f "tarnix.exe --capture $video/stopped.mp4"
status=0
wait "$stopping" || status=$?
frames=$(tr -d '\r' <"$video/stopped.log" | sed -n 's/^tarnix: SIGINT: the capture stopped after \([0-9]*\) of .*/\1/p')
[ "$status" -eq 130 ] && [ -n "$frames" ] ||
    { cat "$video/stopped.log"; fail "Ctrl+C did not stop the capture to a video with its line (status $status)"; }
# 640 x 480 RGB frames; 44100 / 30 sample frames of 4 bytes each.
[ "$(stat -c %s "$video/stopped.mp4")" -eq $((frames * 921600)) ] &&
    [ "$(stat -c %s "$video/stopped.mp4.part.sound")" -eq $((frames * 5880)) ] ||
    fail "a stopped capture's video holds not the $frames frames and their sound it says"
echo "Ctrl+C: a whole video of $frames frames and their sound"
# A full disk (a 2 MiB file system, mounted in a namespace of the test's own).
# Wine's server opens the files its programs create: the prefix's server
# ends first, so that one started in the namespace sees the mount, and that
# one is waited for after.
wineserver -k
wineserver -w
status=0
unshare -r -m sh -c 'mount -t tmpfs -o size=2m tmpfs "$0" && exec "$@"' "$video/full" \
    wine "$folder/tarnix.exe" --capture "$video/full/demo.mp4" --until 60000 >"$video/full.log" 2>&1 || status=$?
tr -d '\r' <"$video/full.log" >"$video/full.lines"
[ "$status" -eq 1 ] && grep -qiE 'demo.mp4.part: (disk full|there is not enough space on the disk)' "$video/full.lines" &&
    grep -q '; no video was written$' "$video/full.lines" ||
    { cat "$video/full.lines"; fail "a full disk did not end the capture with the encoder's line naming it (status $status)"; }
echo "a full disk: $(cat "$video/full.lines")"
wineserver -w
rm "$folder/ffmpeg.exe"

# Its sound through the disk audio driver, named by its full path: the
# program moves to its own folder.
mkdir -p "$workdir/live"
# shellcheck disable=SC2046 # the driver's settings are words of their own
env $(disk_audio_environment "$(winepath -w "$workdir/live/live.raw" 2>/dev/null)") wine "$folder/tarnix.exe" --window \
    >"$workdir/play.log" 2>&1 &
play_pid=$!
window=$(find_window_named '^Kelbo vs\. Vistral$' "$play_pid") ||
    { cat "$workdir/play.log"; fail "the demo: $window"; }
wait_for_sound "under Wine" "$workdir/live/live.raw" 3 "$play_pid" "$workdir/play.log" || { cat "$workdir/play.log"; fail "the demo did not play its music"; }
xdotool windowfocus "$window" key --window "$window" Escape 2>/dev/null
wait_for_end "$play_pid" || fail "the demo still plays 10 s after Escape"
status=$ended_status
play_pid=""
[ "$status" -eq 0 ] || { cat "$workdir/play.log"; fail "Escape ended the demo with status $status, not 0"; }
check_log "under Wine, playing" "$workdir/play.log" "$disk_audio_lines" || fail "the demo logged while playing"
step_time "a capture to a video, and playing"

# The development mode, in the content tool's folder: loose data, no pack.
# shellcheck disable=SC2046 # the driver's settings are words of their own
(cd "$tools/windows" && exec env $(disk_audio_environment "$(winepath -w "$workdir/live/dev.raw" 2>/dev/null)") \
    wine "$folder/tarnix.exe" --dev) >"$workdir/dev.log" 2>&1 &
play_pid=$!
window=$(find_window_named '^Kelbo vs\. Vistral' "$play_pid") ||
    { cat "$workdir/dev.log"; fail "the development mode: $window"; }
# The mode watches data/ from before its first frame, whose caption tells the
# time: a change made from then on must be seen (30 s at most).
caption=""
for _ in $(seq 300); do
    caption=$(xdotool getwindowname "$window" 2>/dev/null)
    [[ $caption =~ \ -\ [0-9]+\.[0-9]{3}\ s\ - ]] && break
    kill -0 "$play_pid" 2>/dev/null || { cat "$workdir/dev.log"; fail "the development mode ended before its first frame"; }
    sleep 0.1
done
[[ $caption =~ \ -\ [0-9]+\.[0-9]{3}\ s\ - ]] || fail "the development mode's caption tells no time after 30 s: $caption"
echo "and a line more" >>"$tools/windows/data/scrolleri.txt"
for _ in $(seq 100); do
    grep -q 'scrolleri.txt loaded again' "$workdir/dev.log" && break
    sleep 0.1
done
grep -q 'scrolleri.txt loaded again' "$workdir/dev.log" ||
    { cat "$workdir/dev.log"; fail "the development mode did not load the changed scrolleri.txt again"; }
check_features "under Wine" "$workdir/help.txt" "$video_status" "$video/video.log" "$workdir/dev.log" ||
    fail "the Windows build does not do what its --help says"
xdotool windowfocus "$window" key --window "$window" Escape 2>/dev/null
wait_for_end "$play_pid" || fail "the development mode still runs 10 s after Escape"
status=$ended_status
play_pid=""
[ "$status" -eq 0 ] || { cat "$workdir/dev.log"; fail "Escape ended the development mode with status $status, not 0"; }
check_log "the development mode" "$workdir/dev.log" "tarnix: [^ ]+ loaded again|tarnix: live code is off .*|$disk_audio_lines" ||
    fail "the development mode logged more"
step_time "the development mode"
# The second run's zip, from an empty build tree.
wait "$second_pid" || { cat "$workdir/second.log"; fail "release-windows.sh --clean failed"; }
second_pid=""
check_clean_rebuild release-windows.sh "$workdir/second.log" "$workdir/first.zip" "$zip" ||
    fail "release-windows.sh --clean did not give the first run's zip"
step_time "release-windows.sh --clean, waited for"
figure "time, in all" $((SECONDS - started)) s
echo "the Windows zip works under Wine"
