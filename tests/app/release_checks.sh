# shellcheck shell=bash
# What the release checks share, sourced by release_archive.sh and
# release_windows.sh: the captures a release is held to the normal build's
# with, their comparison (frames by PSNR, the sound sample by sample), the
# programs' logs, the info file's switches and the sound of a live run. Each
# check prints its figures, passing or not, and on failure prints the reason
# and returns 1: the caller fails.

# figure NAME VALUE [UNIT]: a figure the check measured, printed, and added
# as "TEST: NAME VALUE UNIT" to the file TARNIX_FIGURES names, which the test
# script prints at the end of a run (figure_test, the test's name, is the
# caller's).
figure() {
    local line="${figure_test:-release}: $1 $2${3:+ $3}"
    echo "figure: $line"
    [ -z "${TARNIX_FIGURES:-}" ] || echo "$line" >>"$TARNIX_FIGURES"
}

# ---- Captures ----
# The opening's first two seconds, and 200 ms of each later section: the
# random picks begin at 6.7 s, the heart cloud, the tunnel and the closing
# loop follow. "NAME LOWEST_PSNR ARGUMENT..." a line; 10 frames a second
# unless the opening is given another rate.
# The opening holds to 40 dB. The later sections to 35: Debian 11's Mesa
# blends the heart cloud's hundreds of sprites a little otherwise (37.6 dB at
# 46 s), while two frames of the normal build 100 ms apart are 17.5 to
# 33.7 dB from each other, and a cloud of other random picks 20 dB.
#   capture_plan [OPENING_FPS]
capture_plan() {
    echo "opening 40 --fps ${1:-10} --until 2000"
    local start
    for start in 10000 30000 46000 53000 58000; do
        echo "at-$((start / 1000))s 35 --fps 10 --start $start --until $((start + 200))"
    done
}

# capture_all PROGRAM... : in the working folder, every capture of the plan
# (from standard input) into NAME/, with its log in NAME.log and its status
# in NAME.status, two at a time. PROGRAM may be several words (wine
# tarnix.exe). Each is a first start: its own empty cache folder (Mesa keeps
# compiled shaders there, and makes it on a first start).
capture_all() {
    local name lowest arguments
    while read -r name lowest arguments; do
        capture_one "$name" "$arguments" "$@" &
        [ "$(jobs -rp | wc -l)" -lt 2 ] || wait -n
    done
    wait
}

# capture_one NAME ARGUMENTS PROGRAM...: one capture of the plan, as
# capture_all makes it.
capture_one() {
    local name=$1 arguments=$2
    shift 2
    # shellcheck disable=SC2086  # the plan's arguments are words
    XDG_CACHE_HOME="$PWD/$name.cache" "$@" --capture "$name" $arguments --quiet </dev/null >"$name.log" 2>&1
    echo $? >"$name.status"
}

# again_if_killed PROGRAM... : in the working folder, each capture of the plan
# (from standard input) that was killed outright (status 137) is made once
# more, alone, and says so. The program never sends itself SIGKILL, nor can a
# Windows program; under Wine a capture was killed so about once in ten runs
# of the suite (never in 24 runs of that capture alone), from outside it.
again_if_killed() {
    local name lowest arguments
    while read -r name lowest arguments; do
        [ "$(cat "$name.status" 2>/dev/null)" = 137 ] || continue
        echo "the capture $name was killed from outside (status 137); made again"
        rm -rf "$name" "$name.cache"
        capture_one "$name" "$arguments" "$@"
    done
}

# compare_frames LABEL REFERENCE CAPTURE LOWEST: every frame of the folder
# REFERENCE is in CAPTURE, as many, each at least LOWEST dB PSNR from it;
# prints the figures.
compare_frames() {
    local label=$1 reference=$2 capture=$3 least=$4 figures count lowest
    count=$(find "$reference" -name 'frame_*.png' | wc -l)
    [ "$count" -gt 0 ] || { echo "$label: the normal build's capture has no frames"; return 1; }
    [ "$(find "$capture" -name 'frame_*.png' 2>/dev/null | wc -l)" -eq "$count" ] ||
        { echo "$label: $(find "$capture" -name 'frame_*.png' 2>/dev/null | wc -l) frames, the normal build's $count"; return 1; }
    figures=$(cd "$reference" && find . -maxdepth 1 -name 'frame_*.png' -printf '%f\0' | xargs -0 -P 2 -I{} sh -c \
        'printf "%s %s\n" "$1" "$(compare -metric PSNR "$1" "$2/$1" null: 2>&1)"' psnr {} "$capture" | sort)
    if grep -qvE '^frame_[0-9]+\.png ([0-9]+(\.[0-9]+)?|inf)$' <<<"$figures"; then
        echo "$label: compare failed: $(grep -vE '^frame_[0-9]+\.png ([0-9]+(\.[0-9]+)?|inf)$' <<<"$figures" | head -n 1)"
        return 1
    fi
    lowest=$(awk '$2 != "inf" && (low == "" || $2 < low) { low = $2 } END { print low == "" ? "inf" : low }' <<<"$figures")
    echo "$label: $count frames, PSNR against the normal build's, dB:$(awk '{ printf " %s", $2 == "inf" ? "inf" : int($2) }' <<<"$figures") (lowest $lowest)"
    figure "$label, lowest PSNR of $count frames" "$lowest" dB
    [ "$lowest" = inf ] || awk -v low="$lowest" -v least="$least" 'BEGIN { exit !(low >= least) }' ||
        { echo "$label: a frame is $lowest dB from the normal build's, below $least dB"; return 1; }
}

# compare_sound LABEL REFERENCE SOUND: the WAV file SOUND has REFERENCE's
# header (format and length) and each of its samples is within one step of
# REFERENCE's (the Vorbis decoder's rounding differs a little between builds
# of it); REFERENCE is music, not silence. Prints the figures.
compare_sound() {
    local label=$1 reference=$2 sound=$3 figures samples differing worst peak
    [ -s "$sound" ] || { echo "$label: no sound captured"; return 1; }
    cmp -s <(head -c 44 "$reference") <(head -c 44 "$sound") && [ "$(stat -c %s "$reference")" = "$(stat -c %s "$sound")" ] ||
        { echo "$label: the sound's header or length is not the normal build's ($(stat -c %s "$sound") bytes, the normal build's $(stat -c %s "$reference"))"; return 1; }
    figures=$(paste <(od -An -v -j 44 -t d2 -w2 "$reference") <(od -An -v -j 44 -t d2 -w2 "$sound") | awk '
        { difference = $1 - $2; if (difference < 0) difference = -difference
          if (difference > worst) worst = difference
          if (difference) differing++
          level = $1 < 0 ? -$1 : $1; if (level > peak) peak = level
          samples++ }
        END { print samples + 0, differing + 0, worst + 0, peak + 0 }')
    read -r samples differing worst peak <<<"$figures"
    echo "$label: sound, $samples samples: $differing differ from the normal build's, by at most $worst (its peak $peak)"
    figure "$label, sound samples that differ, of $samples" "$differing"
    figure "$label, largest difference of a sound sample" "$worst" steps
    [ "$peak" -ge 1000 ] || { echo "$label: the normal build's sound is silent here (peak $peak): nothing to compare"; return 1; }
    [ "$worst" -le 1 ] || { echo "$label: the sound differs from the normal build's by up to $worst, more than a step of rounding"; return 1; }
}

# compare_captures LABEL REFERENCE CAPTURES: each capture of the plan (from
# standard input) in the folder CAPTURES ended with status 0, logged nothing,
# and has the frames and the sound of the one in the folder REFERENCE. All
# are compared, and their figures printed, before it fails.
compare_captures() {
    local label=$1 reference=$2 captures=$3 name lowest arguments failed=0
    while read -r name lowest arguments; do
        if [ "$(cat "$captures/$name.status" 2>/dev/null)" != 0 ]; then
            cat "$captures/$name.log" 2>/dev/null
            echo "$label: the capture $name ($arguments) failed with status $(cat "$captures/$name.status" 2>/dev/null)"
            failed=1
            continue
        fi
        check_log "$label, $name" "$captures/$name.log" || failed=1
        compare_frames "$label, $name" "$reference/$name" "$captures/$name" "$lowest" || failed=1
        compare_sound "$label, $name" "$reference/$name/sound.wav" "$captures/$name/sound.wav" || failed=1
    done
    return "$failed"
}

# ---- Logs ----
# check_log LABEL LOG [PATTERN]: every line of LOG (carriage returns aside)
# matches the extended regular expression PATTERN, or LOG is empty when none
# is given: a line such as "no audio device, playing without sound" fails.
check_log() {
    local label=$1 log=$2 pattern=${3:-}
    local unexpected
    if [ -z "$pattern" ]; then
        unexpected=$(tr -d '\r' <"$log")
    else
        unexpected=$(tr -d '\r' <"$log" | grep -vxE "$pattern")
    fi
    [ -z "$unexpected" ] || { echo "$label: unexpected lines on its output:"; echo "$unexpected" | head -n 10; return 1; }
}

# ---- The info file ----
# parser_switches REPO: the switches the program's command-line parser
# compares its arguments with (app/CommandLine.cpp), one a line, sorted.
parser_switches() {
    grep -oE 'strcmp\(argument, "--[A-Za-z0-9]+"\)|\{"--[A-Za-z0-9]+", &' "$1/app/CommandLine.cpp" |
        grep -oE -- '--[A-Za-z0-9]+' | LC_ALL=C sort -u
}

# check_nfo_switches LABEL NFO REPO: the nfo's section "Switches" lists each
# switch the parser accepts, and no other: held to the parser itself, not to
# the --help the nfo is made from.
check_nfo_switches() {
    local label=$1 nfo=$2 accepted listed
    accepted=$(parser_switches "$3")
    [ "$(grep -c . <<<"$accepted")" -ge 10 ] ||
        { echo "$label: only $(grep -c . <<<"$accepted") switches found in the parser (app/CommandLine.cpp): its shape changed"; return 1; }
    listed=$(tr -d '\r' <"$nfo" | awk '/^Switches$/ { inside = 1; next } /^Credits$/ { inside = 0 } inside' |
        grep -oE '^  --[A-Za-z0-9]+' | sed 's/^ *//' | LC_ALL=C sort -u)
    [ "$listed" = "$accepted" ] || {
        echo "$label: the nfo's switches are not the ones the parser accepts"
        diff <(echo "$accepted") <(echo "$listed") | sed -n 's/^</   the parser accepts, the nfo lacks:/p; s/^>/   the nfo lists, the parser does not accept:/p'
        return 1
    }
    echo "$label: the nfo lists the $(grep -c . <<<"$listed") switches the parser accepts:" $listed
}

# check_features LABEL HELP VIDEO_STATUS VIDEO_LOG DEV_LOG: what the
# program's --help (the file HELP) says this build does is what it did: a
# capture to a video (its status and output) that succeeded where it says
# yes, and failed in one line saying there is none where it says no; a
# development mode (its output) that said live code is off exactly where it
# says there is no live code.
check_features() {
    local label=$1 help=$2 video_status=$3 video_log=$4 dev_log=$5 video live said_off=no
    video=$(tr -d '\r' <"$help" | sed -n 's/^  capture to video  *//p')
    live=$(tr -d '\r' <"$help" | sed -n 's/^  live code  *//p')
    [ -n "$video" ] && [ -n "$live" ] || { echo "$label: --help does not say what this build does"; return 1; }
    case $video in
    yes*) [ "$video_status" -eq 0 ] ||
        { echo "$label: --help says it captures to video, but a capture to a video failed: $(cat "$video_log")"; return 1; } ;;
    *) [ "$video_status" -ne 0 ] && [ "$(grep -c . "$video_log")" -eq 1 ] && grep -q 'not available in this build' "$video_log" ||
        { echo "$label: --help says it makes no video, but a capture to a video did not say so: $(cat "$video_log")"; return 1; } ;;
    esac
    grep -q '^tarnix: live code is off in this build' "$dev_log" && said_off=yes
    case $live in
    yes*) [ $said_off = no ] || { echo "$label: --help says it has live code, but the development mode said it is off"; return 1; } ;;
    *) [ $said_off = yes ] || { echo "$label: --help says it has no live code, but the development mode did not say so"; return 1; } ;;
    esac
    echo "$label: does what its --help says: capture to video ${video%%,*}, live code ${live%%:*}"
}

# check_nfo_warning LABEL NFO PROGRAM: the nfo's first paragraph after its
# heading is PROGRAM's photosensitivity warning (the first line of its
# --help), wrapped as the nfo wraps it.
check_nfo_warning() {
    local label=$1 warning first
    warning=$("$3" --help | sed -n 1p)
    [[ $warning == *"Photosensitivity warning"* ]] || { echo "$label: the program's --help does not open with its warning"; return 1; }
    first=$(tr -d '\r' <"$2" | awk 'NF == 0 { if (seen) exit; next } /a real-time audiovisual demo/ { heading = 1; next }
                                     heading && NF > 0 { seen = 1; printf "%s%s", (n++ ? " " : ""), $0 }' | sed 's/  */ /g')
    [ "$first" = "$warning" ] || { printf '%s: its first paragraph is not the warning:\n   %s\n' "$label" "$first"; return 1; }
    echo "$label: opens with the photosensitivity warning"
}

# ---- Two runs, the same bytes ----
# check_clean_rebuild SCRIPT LOG FIRST SECOND [FIRST SECOND]...: SCRIPT
# --clean, whose output is LOG and which has ended, compiled the program from
# an empty build tree, and each file it made (SECOND) holds the bytes of the
# first run's (a copy, FIRST).
check_clean_rebuild() {
    local script=$1 log=$2 objects
    shift 2
    objects=$(grep -c 'Building CXX object' "$log")
    [ "$objects" -gt 0 ] || { cat "$log"; echo "$script --clean compiled nothing"; return 1; }
    sed -n "s/^== \(the program: [0-9]* min [0-9]* s\)$/   $script --clean, \1/p" "$log"
    while [ $# -ge 2 ]; do
        cmp -s "$1" "$2" || {
            echo "two runs of $script gave different $(basename "$2") (the second compiled $objects objects from an empty tree)"
            return 1
        }
        shift 2
    done
    echo "the same bytes again, the program compiled from an empty tree ($objects objects)"
}

# ---- Playing live ----
# The sound of a live run, through SDL's disk audio driver (a real driver,
# where the tests' dummy one takes nothing): raw 16-bit stereo at 44100 Hz,
# one mixer buffer (512 sample frames, 11.6 ms) written each 12 ms, close to
# the pace of a sound card.
disk_audio_environment() {
    echo "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$1 SDL_DISKAUDIODELAY=12"
}
# What the disk driver itself says when it opens, for check_log.
# shellcheck disable=SC2034 # for the callers' check_log
disk_audio_lines='WARNING: You are using the SDL disk writer audio driver!| Writing to file \[.*\]\.'

# wait_for_sound LABEL FILE SECONDS PID LOG: waits until FILE, the disk audio
# driver's, holds SECONDS of sound while PID runs (30 s at most), and checks
# that it is music, not silence; prints how long it took. Fails at once when
# LOG, the program's output, says it plays without sound.
wait_for_sound() {
    local label=$1 file=$2 seconds=$3 pid=$4 log=$5 bytes waited=0 peak
    bytes=$((seconds * 44100 * 4))
    while [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" -lt "$bytes" ]; do
        kill -0 "$pid" 2>/dev/null || { echo "$label: the demo ended after $((waited / 10)) s, before playing $seconds s of sound"; return 1; }
        ! grep -q 'playing without sound' "$log" || { echo "$label: the demo plays without sound"; return 1; }
        [ "$waited" -lt 300 ] || { echo "$label: after 30 s, $(stat -c %s "$file" 2>/dev/null || echo 0) bytes of sound, not $bytes"; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
    peak=$(head -c "$bytes" "$file" | od -An -v -t d2 -w2 | awk '{ level = $1 < 0 ? -$1 : $1; if (level > peak) peak = level } END { print peak + 0 }')
    echo "$label: played $seconds s of sound through the disk driver in $((waited / 10)).$((waited % 10)) s (its peak $peak)"
    figure "$label, time to play $seconds s of sound live" "$((waited / 10)).$((waited % 10))" s
    figure "$label, peak of the live sound" "$peak"
    [ "$peak" -ge 1000 ] || { echo "$label: the sound it played is silent (peak $peak)"; return 1; }
}
