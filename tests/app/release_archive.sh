#!/usr/bin/env bash
# The release archive as someone it is passed to gets it: scripts/release.sh
# twice gives the same bytes; the program in it needs only runtime libraries;
# unpacked into an empty directory it prints its help from there and captures
# a second of the demo when started from elsewhere.
set -u
repo=$1
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: this test needs an X server (Xvfb)"; exit 1; }
archive="$repo/build/release/kelbo-vs-vistral-linux-x86_64.tar.gz"
fail() { echo "$*"; exit 1; }

workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT

"$repo/scripts/release.sh" >"$workdir/first.log" 2>&1 || { cat "$workdir/first.log"; fail "release.sh failed"; }
cp "$archive" "$workdir/first.tar.gz"
"$repo/scripts/release.sh" >"$workdir/second.log" 2>&1 || { cat "$workdir/second.log"; fail "release.sh failed the second time"; }
cmp -s "$archive" "$workdir/first.tar.gz" || fail "two runs of release.sh gave different archives"

mkdir "$workdir/unpacked" "$workdir/elsewhere"
tar -xzf "$archive" -C "$workdir/unpacked" || fail "the archive does not unpack"
folder="$workdir/unpacked/kelbo-vs-vistral"
[ "$(cd "$workdir/unpacked" && find . | sort | tr '\n' ' ')" = \
  ". ./kelbo-vs-vistral ./kelbo-vs-vistral/README.txt ./kelbo-vs-vistral/data ./kelbo-vs-vistral/data/datafile.dat ./kelbo-vs-vistral/tarnix " ] ||
    fail "unexpected contents: $(cd "$workdir/unpacked" && find . | sort | tr '\n' ' ')"
file "$folder/tarnix" | grep -q "stripped" && ! file "$folder/tarnix" | grep -q "not stripped" || fail "the program is not stripped"

# Every library the program loads resolves, and belongs to a package that the
# runtime libraries named in README.txt bring (their dependencies included).
runtime="libsdl1.2debian libsdl-mixer1.2 libpng16-16 zlib1g libgl1 libglu1-mesa libc6 libstdc++6 libgcc-s1"
allowed=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances $runtime | grep -v '^ ' | sed 's/:.*//' | sort -u)
libraries=$(ldd "$folder/tarnix") || fail "ldd cannot read the program"
! grep -q "not found" <<<"$libraries" || fail "unresolved libraries: $(grep 'not found' <<<"$libraries")"
for path in $(awk '/=> \// {print $3}' <<<"$libraries"); do
    real=$(realpath "$path")
    owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null || dpkg -S "/usr$real" 2>/dev/null)
    package=$(sed 's/:.*//; s/, .*//' <<<"$owner" | head -n 1)
    [ -n "$package" ] || fail "$path belongs to no package"
    grep -qx "$package" <<<"$allowed" || fail "$path comes from $package, which no runtime library brings"
done

(cd "$folder" && ./tarnix --help) | grep -q -- "--capture DIR" || fail "./tarnix --help from its folder failed"
(cd "$workdir/elsewhere" && SDL_AUDIODRIVER=dummy "$folder/tarnix" --capture frames --fps 10 --until 1000 --quiet) ||
    fail "the capture from another directory failed"
frames=$(ls "$workdir/elsewhere/frames" | grep -c '^frame_.*\.png$')
[ "$frames" -eq 11 ] || fail "$frames frames captured, expected 11"
[ -s "$workdir/elsewhere/frames/sound.wav" ] || fail "no sound captured"
echo "the archive is deterministic, needs only runtime libraries, and plays from an empty directory"
