#!/usr/bin/env bash
# The release archive as the people it is passed to get it.
#   release_archive.sh REPO PROGRAM     (PROGRAM: the normal build's tarnix)
#
# - scripts/release.sh twice gives the same bytes, archive and screenshot: the
#   first time through the compiler cache (objects an earlier run compiled),
#   the second with the program compiled from an empty build tree, every
#   object by the compiler (the libraries built in the Debian 11 system stay
#   cached: they are built again only when their recipe changes); the second
#   run compiles while the first one's archive is checked.
# - The archive holds the stripped program, its stripped libraries (SDL and
#   SDL_mixer only), the normal build's data pack and the nfo, within its size
#   budget; the program asks glibc for nothing past what its build system
#   promises (2.31 built in Debian 11, 2.34 in Debian 12) and libstdc++ for
#   nothing at all; zlib, libpng, libogg and libvorbis are linked in: nothing
#   needs them as shared libraries, and nothing exports a symbol of theirs to
#   the viewer's GL driver or sound server, which load their own.
# - The release kit keeps its limits: the screenshot at most 400 x 300 and
#   64 KB, the nfo plain ASCII within 80 columns and 32 KB, listing the
#   switches the program's parser accepts (app/CommandLine.cpp), no other,
#   and what the release does, as its --help says: a short video made and the
#   development mode run here hold it to that.
# - The release is built in the system release.sh picks (Debian 11, or 12 when
#   TARNIX_RELEASE_SUITE says so or Debian 11 cannot be had), named here.
# - In fresh minimal systems of that release and of Debian 13 (mmdebstrap, only xvfb,
#   libgl1 and libgl1-mesa-dri installed; kept in the cache folder and mounted
#   read-only, so they stay fresh), with the archive unpacked outside them and
#   bound in: ./tarnix --help works; ldd finds every library, and only glibc,
#   libGL (with what it pulls in) and the X11 client libraries come from
#   outside lib/; captures started from an empty directory on an Xvfb inside
#   the system (the first 2 s, and 200 ms at 10, 30, 46, 53 and 58 s) give the
#   normal build's frames within 40 dB PSNR and its sound within a step of
#   rounding in every sample, and log nothing; and the demo plays live in its
#   window, its sound through SDL's disk audio driver, until that holds 3 s of
#   music, then ends on Escape, sent from here with xdotool (the systems share
#   this network, so their X servers' abstract sockets are reached from here),
#   with status 0 and nothing logged. A release whose SDL_mixer does not load
#   plays silent and says so: it fails.
# - From a read-only copy of its folder, live in a window under strace, the
#   release opens nothing for writing and makes, removes or renames nothing,
#   anywhere (but devices and the graphics driver's shader cache).
# - Every process and mount a check starts in the systems ends with it: once
#   the checks are done no process has its root in a viewer system or a mount
#   of this test's folders, in whichever mount namespace.
# - The cache folder's guards: a folder of another user's is refused in one
#   line, a symbolic link planted where the lock file used to be leads nowhere
#   and one planted as a part's lock is refused, the lock keeps a second
#   holder of the same part waiting but not one of another part (and is held
#   while the viewer systems are in use), and make_system refuses a name that
#   is no folder of its own (an empty one would delete every system); where
#   Debian 11 cannot be had (a mirror that serves nothing), the release turns
#   to Debian 12, saying so in one line.
#
# Needs no root where the kernel gives users namespaces of their own and
# mmdebstrap can make systems (see systems.sh); elsewhere it says why and is
# skipped (status 77).
# Budget: 3 minutes with nothing cached (the Debian systems and the libraries
# made), 1 minute with the cache. Each step's time is printed.
set -u
repo=$1
program=$2
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: this test needs an X server (Xvfb)"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool is missing"; exit 1; }
# shellcheck source=../../scripts/common.sh
source "$repo/scripts/common.sh"
# shellcheck source=../../scripts/systems.sh
source "$repo/scripts/systems.sh"
# shellcheck source=program_window.sh
source "$repo/tests/app/program_window.sh"
# shellcheck source=release_checks.sh
source "$repo/tests/app/release_checks.sh"
name=kelbo-vs-vistral
archive="$repo/build/release/$name-linux-x86_64.tar.gz"
screenshot="$repo/build/release/$name.png"
archive_budget=$((6 * 1024 * 1024))  # 5.02 MiB measured: the data pack 4.34 MiB of it, the program and lib/ 0.68
fail() { echo "$*"; exit 1; }
if ! reason=$(systems_possible); then
    echo "skipped: $reason"
    exit 77
fi

workdir=$(mktemp -d)
xvfb_pid="" play_pid="" tracee="" second_pid="" viewers_pid=""
trap 'for pid in $xvfb_pid $play_pid $tracee; do stop_in_system "$pid"; done
    for pid in $second_pid $viewers_pid; do { kill -- -"$pid"; wait "$pid"; } 2>/dev/null; done
    remove_tree "$workdir"' EXIT
started=$SECONDS step_started=$SECONDS
figure_test=ReleaseTest.TheArchivePlaysFromAnEmptyDirectory
step_time() {
    echo "-- $1: $((SECONDS - step_started)) s"
    figure "time, $1" $((SECONDS - step_started)) s
    step_started=$SECONDS
}

# The scripts' functions in a shell of their own, with the script given.
guard_shell='source "$0/scripts/common.sh"; source "$0/scripts/systems.sh"; eval "$1"'

# ---- The build system release.sh takes, and the viewers' ----
suite=$(release_build_suite) || fail "release.sh can build in no Debian system"
echo "the release is built in $(suite_label "$suite"): glibc $(glibc_limit "$suite") at most"
viewer_suites="$suite trixie"

# ---- Fresh Debian systems, made meanwhile ----
# Made once and kept; a changed recipe makes them again. Made (when missing)
# side by side while the release builds: their part of the cache has a lock
# of its own. A session of its own, so that the exit trap ends it.
viewer_packages="xvfb libgl1 libgl1-mesa-dri"
make_viewers='take_cache_lock viewers
    for suite in '"$viewer_suites"'; do
        make_system "viewer-$suite" "$suite" "deb $debian_mirror $suite main" '"$viewer_packages"' &
    done
    status=0
    for job in $(jobs -p); do wait "$job" || status=1; done
    exit "$status"'
setsid bash -c "$guard_shell" "$repo" "$make_viewers" >"$workdir/viewers.log" 2>&1 &
viewers_pid=$!

# ---- Two runs, the same bytes ----
# The second, from an empty build tree, runs while the first one's archive
# is checked here (its compiler at the lowest priority), until the viewer
# systems are needed.
"$repo/scripts/release.sh" >"$workdir/first.log" 2>&1 || { cat "$workdir/first.log"; fail "release.sh failed"; }
grep '^== the \(archive\|screenshot\): /' "$workdir/first.log"
sed -n 's/^== \(.*: [0-9]* min [0-9]* s\)$/   release.sh, \1/p' "$workdir/first.log"
cp "$archive" "$workdir/first.tar.gz"
cp "$screenshot" "$workdir/first.png"
# A session of its own, so that the exit trap ends it with its compilers.
setsid "$repo/scripts/release.sh" --clean >"$workdir/second.log" 2>&1 &
second_pid=$!
step_time "release.sh"

# ---- What the archive holds ----
size=$(stat -c %s "$workdir/first.tar.gz")
[ "$size" -le "$archive_budget" ] || fail "the archive has $size bytes, over its budget of $archive_budget"
mkdir "$workdir/unpacked"
tar -xzf "$workdir/first.tar.gz" -C "$workdir/unpacked" || fail "the archive does not unpack"
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
glibc=GLIBC_$(glibc_limit "$suite")
for file in "$folder/tarnix" "$folder"/lib/*; do
    symbols=$(objdump -T "$file") || fail "objdump cannot read ${file#"$folder/"}"
    newest=$(grep -o 'GLIBC_[0-9.]*' <<<"$symbols" | sort -uV | tail -1)
    [ "$(printf '%s\n' "$newest" "$glibc" | sort -V | tail -1)" = "$glibc" ] ||
        fail "${file#"$folder/"} needs $newest, past $glibc"
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
geometry=$(identify -format '%m %w %h' "$workdir/first.png") || fail "the screenshot is no picture"
read -r format width height <<<"$geometry"
shot_size=$(stat -c %s "$workdir/first.png")
[ "$format" = PNG ] && [ "$width" -le 400 ] && [ "$height" -le 300 ] && [ "$shot_size" -le 65536 ] ||
    fail "the screenshot is a $format of $width x $height in $shot_size bytes; at most a PNG of 400 x 300 in 64 KB"
echo "the screenshot: $width x $height, $shot_size bytes"
nfo="$folder/$name.nfo"
nfo_size=$(stat -c %s "$nfo")
[ "$nfo_size" -le 32768 ] || fail "the nfo has $nfo_size bytes, over 32 KB"
! LC_ALL=C grep -n '[^ -~]' "$nfo" | head -n 3 | grep . || fail "the nfo has characters other than printable ASCII (above)"
widest=$(awk '{ if (length($0) > widest) widest = length($0) } END { print widest }' "$nfo")
[ "$widest" -le 80 ] || fail "the nfo has lines of $widest columns, over 80"
check_nfo_switches "the nfo" "$nfo" "$repo" || fail "the nfo's switches are not the program's"
check_nfo_warning "the nfo" "$nfo" "$program" || fail "the nfo does not warn first of the flashes"
grep -q '^What this build does' "$nfo" || fail "the nfo does not say what the release does"
# What it says it does, done here (this machine has ffmpeg): a short video,
# and the development mode for a few seconds.
features="$workdir/features"
mkdir "$features"
"$folder/tarnix" --help >"$features/help.txt"
video_status=0
(cd "$features" && SDL_AUDIODRIVER=dummy "$folder/tarnix" --capture short.mp4 --until 200 --quiet) \
    >"$features/video.log" 2>&1 || video_status=$?
(cd "$features" && SDL_AUDIODRIVER=dummy timeout 5 "$folder/tarnix" --dev) >"$features/dev.log" 2>&1
check_features "the release" "$features/help.txt" "$video_status" "$features/video.log" "$features/dev.log" ||
    fail "the release does not do what its --help says"
step_time "the archive and the kit"

# ---- From read-only media, writing nothing ----
# The unpacked release, made read-only and started from its own folder, plays
# live in its window on the suite's display under strace, then ends on Escape:
# nothing anywhere is opened for writing, made, removed, renamed or changed,
# but devices and the graphics driver's own shader cache (Mesa keeps one in
# the user's cache folder for every program it draws for).
readonly_copy="$workdir/read-only"
cp -a "$folder" "$readonly_copy"
chmod -R a-w "$readonly_copy"
(cd "$readonly_copy" && SDL_AUDIODRIVER=dummy exec strace -f -qq -e trace=%file -e signal=none \
    -o "$workdir/read-only.trace" ./tarnix --window >"$workdir/read-only.log" 2>&1) &
play_pid=$!
# The program is strace's child; its window bears its own pid.
for _ in $(seq 50); do
    tracee=$(pgrep -n -P "$play_pid") && break
    sleep 0.1
done
window=$(find_window "$tracee") || fail "read-only: $window"
sleep 3
xdotool key --window "$window" Escape 2>/dev/null
wait_for_end "$play_pid" || fail "read-only: the demo still plays 10 s after Escape"
play_pid="" tracee=""
[ "$ended_status" -eq 0 ] || { cat "$workdir/read-only.log"; fail "read-only: the demo ended with status $ended_status"; }
writes=$(grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|^[0-9]+ +(mkdir|mkdirat|unlink|unlinkat|rmdir|rename|renameat2?|link|linkat|symlink|symlinkat|chmod|fchmodat|chown|lchown|fchownat|truncate|utimensat|mknod|mknodat)\(' \
    "$workdir/read-only.trace" | grep -v '"/dev/' | grep -v '/mesa_shader_cache/') || true
[ -z "$writes" ] || fail "read-only: the release wrote or tried to write: $(head -n 5 <<<"$writes")"
echo "read-only: played from a read-only folder, $(wc -l <"$workdir/read-only.trace") file calls, none writing"
chmod -R u+w "$readonly_copy"
step_time "the release from read-only media"

# ---- The cache folder's guards ----
# On cache folders of the test's own.
guard="$workdir/guard"
in_cache() { TARNIX_CACHE=$1 bash -c "$guard_shell" "$repo" "$2"; }
mkdir -p "$guard/cache/systems/kept"
chmod 755 "$guard"
# Another user's folder: one made for nobody, or, without root to make it,
# one of root's.
if [ "$(id -u)" -eq 0 ]; then
    foreign="$guard/foreign" foreign_owner=65534
    mkdir "$foreign"
    chown 65534:65534 "$foreign"
else
    foreign=/usr foreign_owner=0
fi
refusal=$(in_cache "$foreign" 'take_cache_lock viewers; echo taken' 2>&1) && fail "a cache folder of another user's was used"
[ "$(wc -l <<<"$refusal")" -eq 1 ] && [[ $refusal == "$foreign: "*"belongs to user $foreign_owner"* ]] ||
    fail "a cache folder of another user's was refused without one line naming it and its owner: $refusal"
echo kept >"$guard/target"
ln -s "$guard/target" "$guard/cache/lock"
mkdir -p "$guard/elsewhere" "$guard/cache/locks"
ln -s "$guard/elsewhere" "$guard/cache/locks/mingw"
refusal=$(in_cache "$guard/cache" 'take_cache_lock mingw; echo taken' 2>&1) &&
    fail "a symbolic link planted as the lock of the cache's mingw part was taken as its lock"
[ "$(wc -l <<<"$refusal")" -eq 1 ] || fail "a symbolic link planted as a part's lock was refused in more than one line: $refusal"
rm "$guard/cache/locks/mingw"
# The holder keeps the lock until told to let go (30 s at most).
in_cache "$guard/cache" 'take_cache_lock viewers; touch "$tarnix_cache/held"
    for _ in $(seq 300); do [ -e "$tarnix_cache/done" ] && break; sleep 0.1; done' &
holder=$!
for _ in $(seq 100); do [ -e "$guard/cache/held" ] && break; sleep 0.1; done
[ -e "$guard/cache/held" ] || fail "take_cache_lock failed on a cache folder of the test's own"
[ "$(cat "$guard/target")" = kept ] || fail "taking the cache's lock wrote through a symbolic link planted in the cache folder"
status=0
TARNIX_CACHE="$guard/cache" timeout 1 bash -c "$guard_shell" "$repo" 'take_cache_lock viewers' || status=$?
[ "$status" -eq 124 ] || fail "a second run did not wait for the lock of the viewer systems while the first held it (status $status)"
status=0
TARNIX_CACHE="$guard/cache" timeout 10 bash -c "$guard_shell" "$repo" 'take_cache_lock mingw' || status=$?
[ "$status" -eq 0 ] || fail "the lock of the cache's mingw part waited for the one of its viewer systems (status $status)"
touch "$guard/cache/done"
wait "$holder"
refusal=$(in_cache "$guard/cache" 'make_system "" no-such-suite ""' 2>&1) && fail "make_system made a system without a name"
[ -d "$guard/cache/systems/kept" ] || fail "make_system with an empty name deleted the other systems: $refusal"
[ "$(wc -l <<<"$refusal")" -eq 1 ] || fail "make_system refused an empty name in more than one line: $refusal"
# Debian 11 no longer served and none kept: Debian 12 instead, said in one line.
chosen=$(in_cache "$guard/cache" 'debian_mirror=http://deb.debian.org/no-such-archive; release_build_suite' 2>"$guard/said")
[ "$chosen" = bookworm ] && [ "$(wc -l <"$guard/said")" -eq 1 ] && grep -q "building in Debian 12" "$guard/said" ||
    fail "without Debian 11 the release did not turn to Debian 12 in one line: $chosen / $(cat "$guard/said")"
step_time "the cache folder's guards"

# The normal build's captures, on the suite's display.
reference="$workdir/reference"
mkdir "$reference"
(cd "$reference" && capture_plan | capture_all "$program")
while read -r capture _; do
    [ "$(cat "$reference/$capture.status")" = 0 ] || { cat "$reference/$capture.log"; fail "the normal build's capture $capture failed"; }
    check_log "the normal build's capture $capture" "$reference/$capture.log" || fail "the normal build's capture $capture logged"
done < <(capture_plan)
step_time "the normal build's captures"

# The second run's archive and screenshot, from an empty build tree.
wait "$second_pid" || { cat "$workdir/second.log"; fail "release.sh --clean failed"; }
second_pid=""
check_clean_rebuild release.sh "$workdir/second.log" "$workdir/first.tar.gz" "$archive" "$workdir/first.png" "$screenshot" ||
    fail "release.sh --clean did not give the first run's archive and screenshot"
step_time "release.sh --clean, waited for"

# ---- The Debian systems ----
# The lock is held until the checks in them are done, so that no concurrent
# run makes them again underneath: one that did since they were made here is
# made again.
wait "$viewers_pid" || { cat "$workdir/viewers.log"; fail "cannot make the viewers' systems ($viewer_suites)"; }
viewers_pid=""
grep '^== ' "$workdir/viewers.log"
take_cache_lock viewers
for viewer in $viewer_suites; do
    # shellcheck disable=SC2086  # the packages are words
    make_system "viewer-$viewer" "$viewer" "deb $debian_mirror $viewer main" $viewer_packages ||
        fail "cannot make the $(suite_label "$viewer") system"
done
step_time "the viewers' systems, waited for"

# in_viewer ARGUMENT...: in_system on the system under test, read-only, with
# the unpacked archive at /tmp/kelbo/archive and an empty folder to write in
# at /tmp/kelbo/out; start_in_viewer the same in the background.
in_viewer() {
    in_system "$root" --read-only --bind-ro "$workdir/unpacked" /tmp/kelbo/archive --bind "$out" /tmp/kelbo/out "$@"
}
start_in_viewer() {
    start_in_system "$root" --read-only --bind-ro "$workdir/unpacked" /tmp/kelbo/archive --bind "$out" /tmp/kelbo/out "$@"
}

failures=()
for viewer in $viewer_suites; do
    label=$(suite_label "$viewer")
    root=$(system_path "viewer-$viewer")
    out="$workdir/out-$viewer"
    mkdir "$out"
    inside=/tmp/kelbo/archive/$name

    # An X server inside the system, on a display it picks itself (see
    # start_xvfb): its number comes through descriptor 3 once it listens.
    start_in_viewer -- Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$out/xvfb.log" 2>&1 3>"$out/display"
    xvfb_pid=$in_system_pid
    for _ in $(seq 100); do
        [ -s "$out/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    number=$(cat "$out/display")
    [[ $number =~ ^[0-9]+$ ]] && grep -q "@/tmp/.X11-unix/X$number\$" /proc/net/unix ||
        { cat "$out/xvfb.log"; fail "$label: Xvfb did not start"; }

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
    if [ "$viewer" = "$suite" ]; then
        echo "$label: ldd tarnix"
        in_viewer -- ldd "$inside/tarnix"
    fi
    echo "$label: from the system:$(tr ' ' '\n' <<<"$outside" | sort -u | tr '\n' ' ')"

    # The captures, started from an empty directory, two at a time.
    in_viewer -- bash -c "cd /tmp/kelbo/out && $(declare -f capture_all capture_one) && capture_all env DISPLAY=:$number $inside/tarnix <<'PLAN'
$(capture_plan)
PLAN" || fail "$label: the captures could not be started"
    # A difference is kept for the end: the other checks still run and print
    # their figures.
    capture_plan | compare_captures "$label" "$reference" "$out" ||
        failures+=("$label: the captures are not the normal build's (above)")

    # Live, in a window, its sound through the disk audio driver, until Escape.
    start_in_viewer -- sh -c "cd /tmp/kelbo/out && echo \$\$ >pid && DISPLAY=:$number $(disk_audio_environment /tmp/kelbo/out/live.raw) exec $inside/tarnix --window" \
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
    wait_for_sound "$label" "$out/live.raw" 3 "$play_pid" "$out/play.log" || { cat "$out/play.log"; fail "$label: the demo did not play its music"; }
    DISPLAY=":$number" xdotool key --window "$window" Escape 2>/dev/null
    wait_for_end "$play_pid" || fail "$label: the demo still plays 10 s after Escape"
    status=$ended_status
    play_pid=""
    [ "$status" -eq 0 ] || { cat "$out/play.log"; fail "$label: the demo ended on Escape with status $status"; }
    check_log "$label, playing" "$out/play.log" "$disk_audio_lines" || fail "$label: the demo logged while playing"
    echo "$label: played in its window, ended on Escape with status 0"

    stop_in_system "$xvfb_pid"
    xvfb_pid=""
    # Read-only mounts leave the system as it was made: nothing newer than its stamp.
    changed=$(find "$root" -newer "$root.stamp" -print -quit)
    [ -z "$changed" ] || fail "$label: the cached system was changed ($changed)"
    step_time "$label"
done

# The systems were in use until here: a concurrent run waits for them.
status=0
timeout 1 bash -c "$guard_shell" "$repo" 'take_cache_lock viewers' || status=$?
[ "$status" -eq 124 ] || fail "a concurrent run took the viewer systems' lock while they were in use (status $status)"
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
figure "time, in all" $((SECONDS - started)) s
[ ${#failures[@]} -eq 0 ] || fail "$(printf '%s\n' "${failures[@]}")"
echo "the archive (built in $(suite_label "$suite")) is deterministic, carries its libraries, and plays on fresh $(suite_label "$suite") and Debian 13 systems"
