# shellcheck shell=bash
# What release-windows-libraries.sh and release-web-libraries.sh share: their
# start, and Debian 12's source packages of the libraries the releases build
# themselves. Sourced, not run.

# start_library_build "$@": the library scripts' arguments, PREFIX SOURCES,
# both given (the script's usage and status 2 otherwise). PREFIX is made anew:
# one that is there already (a link too) is refused rather than emptied, in a
# line naming it (status 1). Sets prefix, sources, jobs (one a processor) and
# work, a temporary folder removed when the script exits.
start_library_build() {
    local name=${0##*/}
    [ $# -eq 2 ] && [ -n "$1" ] && [ -n "$2" ] ||
        { echo "usage: $name PREFIX SOURCES (PREFIX a folder that does not exist yet)" >&2; exit 2; }
    prefix=$1
    sources=$2
    if [ -e "$prefix" ] || [ -L "$prefix" ]; then
        echo "${name%.sh}: $prefix is there already: the libraries are built into a new folder only" >&2
        exit 1
    fi
    mkdir -p "$(dirname "$prefix")"
    mkdir "$prefix"
    # shellcheck disable=SC2034 # for the library scripts' builds
    jobs=$(nproc)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

# unpack_source_packages APT_DIR SOURCES WORK PACKAGE...
# Downloads the newest source of each PACKAGE into SOURCES (kept between runs)
# and unpacks it into WORK/PACKAGE, the .dsc names added to WORK/versions.
# apt-get source runs through a configuration of its own in APT_DIR (a
# deb-src line for the archive the machine uses, its own index folder), so
# that the machine's apt sources stay as they are. Bookworm itself, not its
# security updates: the mirror does not serve those updates' source packages.
# Exits with a message when a step fails.
unpack_source_packages() {
    local apt_dir=$1 sources=$2 work=$3 package dsc
    shift 3
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$sources"
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main" >"$apt_dir/sources.list"
    local apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
        -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache")
    apt-get "${apt_options[@]}" update -qq
    (cd "$sources" && apt-get "${apt_options[@]}" source --download-only -qq "$@" >/dev/null)
    for package in "$@"; do
        # The .dsc of the version apt-get picked, asked from the empty work
        # folder: apt-get leaves out of its list the files it finds already
        # downloaded there.
        dsc=$(cd "$work" && apt-get "${apt_options[@]}" source --print-uris "$package" 2>/dev/null |
            awk -v name="$package" '$2 ~ "^" name "_.*\\.dsc$" {print $2; exit}')
        [ -n "$dsc" ] || { echo "apt-get source found no $package" >&2; exit 1; }
        echo "$dsc" >>"$work/versions"
        # dpkg-source has no keyring to check the signatures with: the checksums
        # of the files are checked all the same, against the archive's signed index.
        dpkg-source -x "$sources/$dsc" "$work/$package" >"$work/$package.log" 2>&1 ||
            { cat "$work/$package.log" >&2; echo "unpacking $package failed" >&2; exit 1; }
    done
}
