# shellcheck shell=bash
# Shared by the play, test and release commands: Debian packages, the build,
# Xvfb, the cache folder. Sourced, not run.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck disable=SC2034 # for the scripts that build the demo
build_packages="cmake g++ make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libpng-dev zlib1g-dev libdeflate-dev libfreetype-dev fonts-dejavu-core libvorbis-dev libogg-dev
    libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri"
# The release archive is built in a Debian system made by mmdebstrap (with
# newuidmap, for an ordinary user); its screenshot is taken on Xvfb and made
# small by ImageMagick.
# shellcheck disable=SC2034 # for release.sh
release_packages="mmdebstrap uidmap xvfb xauth imagemagick"
# shellcheck disable=SC2034 # for test.sh
test_packages="libgtest-dev libgmock-dev libbenchmark-dev libvorbis-dev libogg-dev lib3ds-dev assimp-utils xvfb xauth xdotool x11-utils libx11-dev libxfixes-dev strace
    libsdl2-2.0-0 file imagemagick ffmpeg mmdebstrap uidmap wine wine64 unzip ccache shellcheck"

# shellcheck disable=SC2034 # for fuzz.sh and test.sh
fuzz_packages="clang libclang-rt-14-dev"

# The web page is built with Debian's Emscripten (its libraries from source
# packages, unpacked by dpkg-source) and tested in Debian's Chromium, driven
# from Node.js by puppeteer-core from the npm registry.
# shellcheck disable=SC2034 # for release-web.sh and test.sh
web_packages="emscripten dpkg-dev"
# npm comes with Node.js where that is NodeSource's package (as on these
# machines), which Debian's npm cannot be installed beside: it is asked for
# only where there is no npm.
# shellcheck disable=SC2034 # for test.sh
web_test_packages="chromium nodejs"
command -v npm >/dev/null || web_test_packages+=" npm"

# What the release scripts and their tests keep between runs (see systems.sh):
# Debian systems, the libraries built for the releases, source packages. The
# user's own cache folder, outside the clone, so that every clone of this user
# shares it. The toolchain files find it by the same rule (cmake/CacheFolder.cmake).
tarnix_cache=${TARNIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tarnix}

say() { printf '== %s\n' "$*"; }

# The releases' info file, in UTF-8 (as_ascii_within_78_columns makes it
# ASCII): the heading, the program's photosensitivity warning (the first
# paragraph of its --help), what the demo is (nfo/about.txt), how to start it
# on the platform (nfo/PLATFORM.txt, lower case, ending with the heading
# "Switches"), the switches (--help from its third line), the credits
# (nfo/credits.txt) and the platform's licences (nfo/PLATFORM-licences.txt).
#   write_nfo PLATFORM PROGRAM    ("Linux", "Windows"; a program to ask)
write_nfo() {
    local line="a real-time audiovisual demo on the Tarnix engine, for $1" texts="$repo/scripts/nfo"
    local platform=${1,,}
    printf '\n                   K E L B O   v s .   V I S T R A L\n\n'
    printf '%*s\n' $(((76 + ${#line}) / 2)) "$line"
    printf '\n'
    "$2" --help | sed -n 1p
    cat "$texts/about.txt" "$texts/$platform.txt"
    "$2" --help | tail -n +3
    cat "$texts/credits.txt" "$texts/$platform-licences.txt"
}

# Prints standard input as ASCII within 78 columns, for the releases' info
# files: longer lines wrapped, a switch's description under itself, other
# lines under their own indentation.
as_ascii_within_78_columns() {
    LC_ALL=C.UTF-8 iconv -f UTF-8 -t ASCII//TRANSLIT | awk -v width=78 '
        length($0) <= width { print; next }
        {
            if (match($0, /^ *--[^ ]+( [^ ]+)?  +/)) { head = substr($0, 1, RLENGTH); text = substr($0, RLENGTH + 1) }
            else { match($0, /^ */); head = substr($0, 1, RLENGTH); text = substr($0, RLENGTH + 1) }
            hang = sprintf("%" length(head) "s", "")
            count = split(text, words, " ")
            line = head
            filled = 0
            for (i = 1; i <= count; i++) {
                if (filled && length(line) + 1 + length(words[i]) > width) { print line; line = hang; filled = 0 }
                line = line (filled ? " " : "") words[i]
                filled = 1
            }
            print line
        }'
}

# What the release scripts keep (a Debian system, libraries, a build tree) is
# made again when the recipe it was made from changes: its stamp, a file, holds
# that recipe. stamp_holds STAMP RECIPE succeeds when it does.
stamp_holds() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; }

# fresh_tree_unless_made_with DIR RECIPE CLEAN: empties the build tree DIR
# unless it was made with RECIPE (stamp DIR/recipe) and CLEAN is false, and
# stamps it with RECIPE.
fresh_tree_unless_made_with() {
    if $3 || ! stamp_holds "$1/recipe" "$2"; then
        rm -rf "$1"
        mkdir -p "$1"
        printf '%s\n' "$2" >"$1/recipe"
    fi
}

# The release scripts' one switch: read_clean_switch "$@" sets clean to true
# for --clean (the program compiled from an empty build tree, none of it from
# the compiler cache), to false without it; anything else ends the script with
# its usage (status 2).
# shellcheck disable=SC2034 # clean is for the release scripts
read_clean_switch() {
    clean=false
    case ${1:-} in
    --clean) clean=true ;;
    "") ;;
    *) echo "usage: ${0##*/} [--clean]" >&2; exit 2 ;;
    esac
}

# Time since the script started, and since the last say_time, as "3 min 12 s".
script_started=$SECONDS
step_started=$SECONDS
minutes_and_seconds() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }
elapsed_since_start() { minutes_and_seconds $((SECONDS - script_started)); }
say_time() {
    say "$1: $(minutes_and_seconds $((SECONDS - step_started)))"
    step_started=$SECONDS
}

# Installs the packages that are not installed yet (needs root, or sudo).
install_missing() {
    local to_install=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || to_install+=("$package")
    done
    [ ${#to_install[@]} -eq 0 ] && return 0
    say "installing ${to_install[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${to_install[@]}"
}

# The demo's tree, build/: configured with the preset "dev" (the demo without
# the tests, whose packages may not be installed) where it is missing; an
# existing one keeps its settings, so that playing does not reconfigure a
# tree the tests use (the preset "test" shares build/).
configure_demo_tree() {
    [ -f "$repo/build/CMakeCache.txt" ] && return 0
    # shellcheck disable=SC2046 # the options are words of their own
    (cd "$repo" && cmake --preset dev $(compiler_cache_options) >/dev/null)
}

# The compiler cache (ccache, a test package), kept in the cache folder: a
# clean clone compiles from it what an earlier clone compiled, its paths taken
# relative to the clone. Prints the options that put it in front of the
# compilers, nothing where ccache is missing.
compiler_cache_options() {
    command -v ccache >/dev/null || return 0
    echo "-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
}
export CCACHE_DIR="$tarnix_cache/ccache" CCACHE_BASEDIR="$repo" CCACHE_NOHASHDIR=true CCACHE_MAXSIZE=3G

# configure_and_build PRESET: configures and builds with the presets of that
# name (CMakePresets.json), the compiler cache in front of the compilers.
configure_and_build() {
    # shellcheck disable=SC2046 # the options are words of their own
    (cd "$repo" && cmake --preset "$1" $(compiler_cache_options) >/dev/null && cmake --build --preset "$1" -j "$jobs")
}

# Builds the program and the demo's data in build/ (the build preset "dev").
build_demo() {
    configure_demo_tree
    (cd "$repo" && cmake --build --preset dev -j "$jobs")
}

# The releases' data pack, and the program that prints their info files'
# switches: the normal build tree's (build/, made without the tests when it
# is missing, as play.sh makes it), so that a clone builds them once. Every
# build of the same sources packs the same bytes. The tree itself is the lock
# that keeps two release scripts from building in it at once. Sets data_pack
# and host_program.
build_data_pack() {
    local tree="$repo/build"
    mkdir -p "$tree"
    exec 8<"$tree"
    flock 8
    configure_demo_tree
    nice -n 19 cmake --build "$tree" --target demo-data -j "$jobs"
    exec 8<&-
    # shellcheck disable=SC2034 # for release.sh and release-windows.sh
    data_pack="$tree/app/data/datafile.dat"
    # shellcheck disable=SC2034 # for release-windows.sh
    host_program="$tree/app/tarnix"
}

# Unpacks SDL 1.2's compatibility layer over SDL 2 (Debian's libsdl1.2-compat)
# into build/sdl12-compat without installing it, and prints the directory of
# its libSDL-1.2.so.0: with LD_LIBRARY_PATH pointing there, the programs use it
# in place of the classic library, which stays installed for everything else.
sdl12_compat_directory() {
    local dir="$repo/build/sdl12-compat"
    if [ ! -e "$dir/lib/libSDL-1.2.so.0" ]; then
        rm -rf "$dir"
        mkdir -p "$dir/deb" "$dir/lib"
        (cd "$dir/deb" && { apt-get download -qq libsdl1.2-compat 2>/dev/null ||
            { apt-get update -qq && apt-get download -qq libsdl1.2-compat 2>/dev/null; }; }) >&2
        dpkg -x "$dir"/deb/libsdl1.2-compat_*.deb "$dir/root"
        cp -a "$dir"/root/usr/lib/*/sdl12-compat/libSDL-1.2.so* "$dir/lib/"
    fi
    echo "$dir/lib"
}

# Starts Xvfb on a free display and exports DISPLAY; stopped at exit. The
# screen is 1024x768 unless another WIDTHxHEIGHT is given.
start_xvfb() {
    local size=${1:-1024x768} number_file
    number_file=$(mktemp)
    # The server picks the display itself (-displayfd): it takes the first
    # number whose sockets, the abstract one included, it can make its own,
    # so two started at once never share one, nor take one of a server in a
    # release check's Debian system. It writes the number once it listens.
    # -noreset: SDL opens and closes a probe connection before its real one,
    # and a server left without clients resets, refusing connections meanwhile.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$number_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
    for _ in $(seq 100); do
        [ -s "$number_file" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    local number
    number=$(cat "$number_file")
    rm -f "$number_file"
    [[ $number =~ ^[0-9]+$ ]] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$number"
}
