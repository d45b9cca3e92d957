#!/usr/bin/env bash
# The release archive as the people it is passed to get it.
#   release_archive.sh REPO PROGRAM     (PROGRAM: the normal build's tarnix)
#
# - scripts/release.sh twice gives the same bytes, archive and screenshot.
# - The archive holds the stripped program, its stripped libraries (SDL and
#   SDL_mixer only), the normal build's data pack and the nfo, within its size
#   budget; the program asks glibc for nothing past 2.31 and libstdc++ for
#   nothing at all; zlib, libpng, libogg and libvorbis are linked in: nothing
#   needs them as shared libraries, and nothing exports a symbol of theirs to
#   the viewer's GL driver or sound server, which load their own.
# - The release kit keeps its limits: the screenshot at most 400 x 300 and
#   64 KB, the nfo plain ASCII within 80 columns and 32 KB, listing every switch
#   the program's --help lists.
# - In fresh minimal Debian 11 and Debian 13 systems (debootstrap, then only
#   xvfb, libgl1 and libgl1-mesa-dri installed; kept in the cache folder and
#   mounted read-only, so they stay fresh), with the archive unpacked outside
#   them and bound in: ./tarnix --help works; ldd finds every library, and only
#   glibc, libGL (with what it pulls in) and the X11 client libraries come from
#   outside lib/; a 2-second capture, started from an empty directory on an
#   Xvfb inside the system, gives the normal build's frames within 40 dB PSNR;
#   and the demo plays live in its window for 3 s and ends on Escape, sent from
#   here with xdotool (the systems share this network, so their X servers'
#   abstract sockets are reached from here), with status 0.
# - Every process and mount a check starts in the systems ends with it: once
#   the checks are done no process has its root in a viewer system or a mount
#   of this test's folders, in whichever mount namespace.
# - The cache folder's guards: a folder of another user's is refused in one
#   line, a symbolic link planted where the lock file used to be leads nowhere,
#   the lock keeps a second holder waiting (and is held while the viewer
#   systems are in use), and make_system refuses a name that is no folder of
#   its own (an empty one would delete every system).
#
# Budget: 5 minutes with nothing cached (the Debian systems, the libraries and
# build-release made), 1 minute with the cache. Each step's time is printed.
set -u
repo=$1
program=$2
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: this test needs an X server (Xvfb)"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
source "$repo/scripts/common.sh"
source "$repo/scripts/systems.sh"
source "$repo/tests/app/program_window.sh"
name=kelbo-vs-vistral
archive="$repo/build/release/$name-linux-x86_64.tar.gz"
screenshot="$repo/build/release/$name.png"
archive_budget=$((6 * 1024 * 1024))  # 5.02 MiB measured: the data pack 4.34 MiB of it, the program and lib/ 0.68
fail() { echo "$*"; exit 1; }

workdir=$(mktemp -d)
xvfb_pid="" play_pid=""
trap 'for pid in $xvfb_pid $play_pid; do stop_in_system "$pid"; done; rm -rf "$workdir"' EXIT
started=$SECONDS step_started=$SECONDS
step_time() {
    echo "-- $1: $((SECONDS - step_started)) s"
    step_started=$SECONDS
}

# ---- Two runs, the same bytes ----
"$repo/scripts/release.sh" >"$workdir/first.log" 2>&1 || { cat "$workdir/first.log"; fail "release.sh failed"; }
grep '^== the \(archive\|screenshot\): /' "$workdir/first.log"
sed -n 's/^== \(.*: [0-9]* min [0-9]* s\)$/   release.sh, \1/p' "$workdir/first.log"
step_time "release.sh"
cp "$archive" "$workdir/first.tar.gz"
cp "$screenshot" "$workdir/first.png"
"$repo/scripts/release.sh" >"$workdir/second.log" 2>&1 || { cat "$workdir/second.log"; fail "release.sh failed the second time"; }
cmp -s "$archive" "$workdir/first.tar.gz" || fail "two runs of release.sh gave different archives"
cmp -s "$screenshot" "$workdir/first.png" || fail "two runs of release.sh gave different screenshots"
step_time "release.sh again"

# ---- What the archive holds ----
size=$(stat -c %s "$archive")
[ "$size" -le "$archive_budget" ] || fail "the archive has $size bytes, over its budget of $archive_budget"
mkdir "$workdir/unpacked"
tar -xzf "$archive" -C "$workdir/unpacked" || fail "the archive does not unpack"
folder="$workdir/unpacked/$name"
libraries="libSDL-1.2.so.0 libSDL_mixer-1.2.so.0"
expected=". ./$name ./$name/data ./$name/data/datafile.dat ./$name/$name.nfo ./$name/lib"
for library in $libraries; do expected="$expected ./$name/lib/$library"; done
contents=$(cd "$workdir/unpacked" && find . | LC_ALL=C sort | tr '\n' ' ')
! grep -q 'lib/lib\(z\|png\|ogg\|vorbis\)' <<<"$contents" || fail "lib/ carries zlib, libpng, libogg or libvorbis: $contents"
[ "$contents" = "$expected ./$name/tarnix " ] || fail "unexpected contents: $contents"
for file in "$folder/tarnix" "$folder"/lib/*; do
    description=$(file -b "$file")
    [[ $description == *", stripped"* ]] || fail "${file#"$folder/"} is not stripped: $description"
done
cmp -s "$folder/data/datafile.dat" "$(dirname "$program")/data/datafile.dat" ||
    fail "the archive's data pack differs from the normal build's ($(dirname "$program")/data/datafile.dat)"

newest_glibc=$(objdump -T "$folder/tarnix" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -1)
echo "objdump -T tarnix: newest symbol version $newest_glibc"
for file in "$folder/tarnix" "$folder"/lib/*; do
    symbols=$(objdump -T "$file") || fail "objdump cannot read ${file#"$folder/"}"
    newest=$(grep -o 'GLIBC_[0-9.]*' <<<"$symbols" | sort -uV | tail -1)
    [ "$(printf '%s\n' "$newest" GLIBC_2.31 | sort -V | tail -1)" = GLIBC_2.31 ] ||
        fail "${file#"$folder/"} needs $newest, past glibc 2.31"
    ! grep -q 'GLIBCXX\|CXXABI' <<<"$symbols" ||
        fail "${file#"$folder/"} needs the shared libstdc++: $(grep -o 'GLIBCXX_[0-9.]*\|CXXABI_[0-9.]*' <<<"$symbols" | sort -u | tr '\n' ' ')"
    needed=$(readelf -d "$file" | grep -o 'Shared library: \[lib\(z\|png\|ogg\|vorbis\)[^]]*\]') &&
        fail "${file#"$folder/"} needs a library that is linked in: $needed"
    defined=$(nm -D --defined-only "$file") || fail "nm cannot read ${file#"$folder/"}"
    exported=$(awk '{print $NF}' <<<"$defined" |
        grep -E '^(adler32|compress|crc32|deflate|gz|inflate|uncompress|zlib|zError|png_|ogg|vorbis|_vorbis|ov_)' | head -n 5)
    [ -z "$exported" ] || fail "${file#"$folder/"} exports symbols of zlib, libpng, libogg or libvorbis: $(tr '\n' ' ' <<<"$exported")"
done
echo "the archive: $size bytes (budget $archive_budget)"

# ---- The release kit ----
geometry=$(identify -format '%m %w %h' "$screenshot") || fail "the screenshot is no picture"
read -r format width height <<<"$geometry"
shot_size=$(stat -c %s "$screenshot")
[ "$format" = PNG ] && [ "$width" -le 400 ] && [ "$height" -le 300 ] && [ "$shot_size" -le 65536 ] ||
    fail "the screenshot is a $format of $width x $height in $shot_size bytes; at most a PNG of 400 x 300 in 64 KB"
echo "the screenshot: $width x $height, $shot_size bytes"
nfo="$folder/$name.nfo"
nfo_size=$(stat -c %s "$nfo")
[ "$nfo_size" -le 32768 ] || fail "the nfo has $nfo_size bytes, over 32 KB"
! LC_ALL=C grep -n '[^ -~]' "$nfo" | head -n 3 | grep . || fail "the nfo has characters other than printable ASCII (above)"
widest=$(awk '{ if (length($0) > widest) widest = length($0) } END { print widest }' "$nfo")
[ "$widest" -le 80 ] || fail "the nfo has lines of $widest columns, over 80"
for switch in $("$folder/tarnix" --help | grep -o '^ *--[A-Za-z0-9]*' | sort -u); do
    grep -q -- "^ *$switch\b" "$nfo" || fail "the nfo lacks the switch $switch that --help lists"
done
step_time "the archive and the kit"

# ---- The cache folder's guards ----
# On cache folders of the test's own: the scripts' functions in a shell of
# their own, with the script given.
guard="$workdir/guard"
guard_shell='source "$0/scripts/common.sh"; source "$0/scripts/systems.sh"; eval "$1"'
in_cache() { TARNIX_CACHE=$1 bash -c "$guard_shell" "$repo" "$2"; }
mkdir -p "$guard/foreign" "$guard/cache/systems/kept"
chmod 755 "$guard"
chown 65534:65534 "$guard/foreign"
refusal=$(in_cache "$guard/foreign" 'take_cache_lock; echo taken' 2>&1) && fail "a cache folder of another user's was used"
[ "$(wc -l <<<"$refusal")" -eq 1 ] && [[ $refusal == "$guard/foreign: "*"belongs to user 65534"* ]] ||
    fail "a cache folder of another user's was refused without one line naming it and its owner: $refusal"
echo kept >"$guard/target"
ln -s "$guard/target" "$guard/cache/lock"
in_cache "$guard/cache" 'take_cache_lock; touch "$tarnix_cache/held"; sleep 2' &
holder=$!
for _ in $(seq 50); do [ -e "$guard/cache/held" ] && break; sleep 0.1; done
[ -e "$guard/cache/held" ] || fail "take_cache_lock failed on a cache folder of the test's own"
[ "$(cat "$guard/target")" = kept ] || fail "taking the cache's lock wrote through a symbolic link planted in the cache folder"
status=0
TARNIX_CACHE="$guard/cache" timeout 1 bash -c "$guard_shell" "$repo" take_cache_lock || status=$?
[ "$status" -eq 124 ] || fail "a second run did not wait for the cache's lock while the first held it (status $status)"
wait "$holder"
refusal=$(in_cache "$guard/cache" 'make_system "" no-such-suite ""' 2>&1) && fail "make_system made a system without a name"
[ -d "$guard/cache/systems/kept" ] || fail "make_system with an empty name deleted the other systems: $refusal"
[ "$(wc -l <<<"$refusal")" -eq 1 ] || fail "make_system refused an empty name in more than one line: $refusal"
step_time "the cache folder's guards"

# The normal build's frames, on the suite's display.
mkdir "$workdir/reference"
(cd "$workdir/reference" && "$program" --capture frames --fps 10 --until 2000 --quiet) ||
    fail "the normal build's capture failed"
reference="$workdir/reference/frames"
frame_count=$(ls "$reference" | grep -c '^frame_.*\.png$')
[ "$frame_count" -eq 21 ] || fail "the normal build captured $frame_count frames, expected 21"
step_time "the normal build's capture"

# ---- Fresh Debian systems ----
# Made once and kept; a changed recipe makes them again. The lock is held
# until the checks in them are done, so that no concurrent run makes them
# again underneath.
take_cache_lock
for suite in bullseye trixie; do
    make_system "viewer-$suite" "$suite" "deb $debian_mirror $suite main" xvfb libgl1 libgl1-mesa-dri ||
        fail "cannot make the Debian $suite system"
done
step_time "the Debian 11 and 13 systems"

# in_viewer ARGUMENT...: in_system on the system under test, read-only, with
# the unpacked archive at /tmp/kelbo/archive and an empty folder to write in
# at /tmp/kelbo/out; start_in_viewer the same in the background.
in_viewer() {
    in_system "$root" --read-only --bind-ro "$workdir/unpacked" /tmp/kelbo/archive --bind "$out" /tmp/kelbo/out "$@"
}
start_in_viewer() {
    start_in_system "$root" --read-only --bind-ro "$workdir/unpacked" /tmp/kelbo/archive --bind "$out" /tmp/kelbo/out "$@"
}

for suite in bullseye trixie; do
    case $suite in bullseye) label="Debian 11 (bullseye)" ;; trixie) label="Debian 13 (trixie)" ;; esac
    root=$(system_path "viewer-$suite")
    out="$workdir/out-$suite"
    mkdir "$out"
    inside=/tmp/kelbo/archive/$name

    # An X server inside the system.
    number=$(free_display 120)
    start_in_viewer -- Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp -noreset >"$out/xvfb.log" 2>&1
    xvfb_pid=$in_system_pid
    for _ in $(seq 100); do
        grep -q "@/tmp/.X11-unix/X$number\$" /proc/net/unix && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    grep -q "@/tmp/.X11-unix/X$number\$" /proc/net/unix || { cat "$out/xvfb.log"; fail "$label: Xvfb did not start"; }

    in_viewer -- sh -c "cd $inside && ./tarnix --help" >"$out/help.txt" 2>&1 || { cat "$out/help.txt"; fail "$label: ./tarnix --help failed"; }
    grep -q -- "--capture DIR" "$out/help.txt" || fail "$label: ./tarnix --help does not list the switches"

    # ldd of the program and of every library in lib/ (SDL_mixer is loaded with
    # dlopen, so the program's list lacks it and what it needs).
    in_viewer -- sh -c "ldd $inside/tarnix; for library in $inside/lib/*; do ldd \$library; done" >"$out/ldd.txt" 2>&1 ||
        { cat "$out/ldd.txt"; fail "$label: ldd failed"; }
    ! grep -q "not found" "$out/ldd.txt" || fail "$label: unresolved libraries: $(grep 'not found' "$out/ldd.txt" | sort -u)"
    libgl=$(awk '$1 == "libGL.so.1" && $2 == "=>" {print $3; exit}' "$out/ldd.txt")
    [ -n "$libgl" ] || fail "$label: the program does not load libGL.so.1"
    # What libGL pulls in may come from the system as well.
    gl_needs=$(in_viewer -- ldd "$libgl" | awk '$2 == "=>" {print $1}')
    outside=""
    while read -r soname arrow path _; do
        [ "$arrow" = "=>" ] || continue
        case $path in "$inside/lib/"*) continue ;; esac
        grep -qw "$soname" <<<"$libraries" && fail "$label: $soname is loaded from $path, not from lib/"
        if [[ ! $soname =~ ^(libc|libm|libpthread|libdl|librt)\.so\.[0-9]+$|^libGL\.so\.1$|^libX[A-Za-z0-9]*\.so\.|^libxcb(-[a-z0-9]+)?\.so\. ]] &&
            ! grep -qx "$soname" <<<"$gl_needs"; then
            fail "$label: $soname comes from the system ($path); only glibc, libGL and the X11 client libraries may"
        fi
        outside="$outside $soname"
    done <"$out/ldd.txt"
    if [ "$suite" = bullseye ]; then
        echo "$label: ldd tarnix"
        in_viewer -- ldd "$inside/tarnix"
    fi
    echo "$label: from the system:$(tr ' ' '\n' <<<"$outside" | sort -u | tr '\n' ' ')"

    # A capture started from an empty directory.
    in_viewer -- sh -c "cd /tmp/kelbo/out && DISPLAY=:$number $inside/tarnix --capture frames --fps 10 --until 2000 --quiet" \
        >"$out/capture.log" 2>&1 || { cat "$out/capture.log"; fail "$label: the capture failed"; }
    [ -s "$out/frames/sound.wav" ] || fail "$label: no sound captured"
    frame_count=$(ls "$out/frames" | grep -c '^frame_.*\.png$')
    [ "$frame_count" -eq 21 ] || fail "$label: $frame_count frames captured, expected 21"
    lowest=inf figures=""
    for frame in "$reference"/frame_*.png; do
        psnr=$(compare -metric PSNR "$frame" "$out/frames/$(basename "$frame")" null: 2>&1)
        [[ $psnr =~ ^([0-9]+(\.[0-9]+)?|inf)$ ]] || fail "$label: compare failed on $(basename "$frame"): $psnr"
        figures="$figures ${psnr%.*}"
        if [ "$psnr" != inf ] && { [ "$lowest" = inf ] || awk -v a="$psnr" -v b="$lowest" 'BEGIN { exit !(a < b) }'; }; then
            lowest=$psnr
        fi
    done
    echo "$label: PSNR of the 21 frames against the normal build's, dB:$figures (lowest $lowest)"
    [ "$lowest" = inf ] || awk -v a="$lowest" 'BEGIN { exit !(a >= 40) }' ||
        fail "$label: a frame is $lowest dB from the normal build's, below 40 dB"

    # Live, in a window, until Escape.
    start_in_viewer -- sh -c "cd /tmp/kelbo/out && echo \$\$ >pid && DISPLAY=:$number SDL_AUDIODRIVER=dummy exec $inside/tarnix --window" \
        >"$out/play.log" 2>&1
    play_pid=$in_system_pid
    window=""
    for _ in $(seq 150); do
        pid=$(cat "$out/pid" 2>/dev/null)
        [ -n "$pid" ] && window=$(DISPLAY=":$number" xdotool search --all --pid "$pid" --name '^Kelbo vs\. Vistral$' 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$play_pid" 2>/dev/null || { cat "$out/play.log"; fail "$label: the demo ended before its window appeared"; }
        sleep 0.1
    done
    [ -n "$window" ] || fail "$label: no window captioned 'Kelbo vs. Vistral'"
    sleep 3
    kill -0 "$play_pid" 2>/dev/null || { cat "$out/play.log"; fail "$label: the demo ended by itself while playing"; }
    DISPLAY=":$number" xdotool key --window "$window" Escape 2>/dev/null
    wait_for_end "$play_pid" || fail "$label: the demo still plays 10 s after Escape"
    status=$ended_status
    play_pid=""
    [ "$status" -eq 0 ] || { cat "$out/play.log"; fail "$label: the demo ended on Escape with status $status"; }
    echo "$label: played 3 s in its window, ended on Escape with status 0"

    stop_in_system "$xvfb_pid"
    xvfb_pid=""
    # Read-only mounts leave the system as it was made: nothing newer than its stamp.
    changed=$(find "$root" -newer "$root.stamp" -print -quit)
    [ -z "$changed" ] || fail "$label: the cached system was changed ($changed)"
    step_time "$label"
done

# The systems were in use until here: a concurrent run waits for them.
status=0
timeout 1 bash -c "$guard_shell" "$repo" take_cache_lock || status=$?
[ "$status" -eq 124 ] || fail "a concurrent run took the cache's lock while the viewer systems were in use (status $status)"
release_cache_lock

# Nothing the checks started is left: no process rooted in a viewer system,
# none whose mounts (in whichever mount namespace) hold this test's folders,
# and no mount of the cache here. The kernel ends a namespace's processes
# within moments of its first one's end.
left_behind() {
    local process root
    for process in /proc/[0-9]*; do
        root=$(readlink "$process/root" 2>/dev/null) || continue
        if [[ $root == "$(system_path viewer-)"* ]] || grep -qsF "$workdir/" "$process/mountinfo"; then
            printf '%s ' "${process#/proc/} ($(tr '\0' ' ' <"$process/cmdline" 2>/dev/null | cut -c 1-40))"
        fi
    done
    findmnt -rn -o TARGET | grep -F "$tarnix_cache" | tr '\n' ' '
}
for _ in $(seq 50); do
    left=$(left_behind)
    [ -z "$left" ] && break
    sleep 0.1
done
[ -z "$left" ] || fail "processes or mounts left behind: $left"
echo "-- in all: $((SECONDS - started)) s"
echo "the archive is deterministic, carries its libraries, and plays on fresh Debian 11 and 13 systems"
