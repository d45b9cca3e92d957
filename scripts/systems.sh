# shellcheck shell=bash
# Debian systems made with mmdebstrap from Debian's packages, kept in the
# cache folder for the next run, and commands run inside them. Sourced after
# common.sh by the release script and its test.
#
# In the cache folder ($tarnix_cache):
#   sources/linux/   the Debian source packages each release builds from, in
#   sources/windows/ a folder of its own: the two take different versions of
#                    one package (Debian 11's SDL for Linux, Debian 12's for
#                    Windows)
#   mingw/x86_64/    the Windows release's libraries (release-windows.sh)
#   systems/NAME/    a system; systems/NAME.stamp holds the recipe it was made
#                    from, so that a changed recipe makes it again
#   systems/build-bullseye.ccache/
#                    the compiler cache of the Linux release's builds there
#   locks/PART/      the lock of each part (see take_cache_lock)
#
# No root needed. An ordinary user makes a system with mmdebstrap's unshare
# mode (a user namespace with the ids /etc/subuid and /etc/subgid give the
# user), as a tar that is unpacked here, so that every file of the system is
# the user's; a command runs in the system in a user namespace where the user
# is root (its files root's): that gives chroot and mounts in there, nothing
# outside. Root makes and enters the systems the same way, without the user
# namespace, and its systems keep their files' owners.
#
# A command runs in a system inside a mount namespace and a PID namespace of
# its own: /proc, /dev and the folders bound in are mounted there only, and
# every process it starts (a server, a daemon an installed package starts)
# lives there only, so they are gone with the command however it ends (a kill
# included) and the host never sees them. The mounts are undone on the way out
# all the same.

system_path() { echo "$tarnix_cache/systems/$1"; }
# shellcheck disable=SC2034 # for release.sh and release_archive.sh
debian_mirror=http://deb.debian.org/debian

# The Debian release the Linux release is built in, its one setting:
# TARNIX_RELEASE_SUITE, by default Debian 11 (bullseye), whose glibc 2.31 the
# program then needs at most. Debian 12 (bookworm) is the other: its glibc is
# 2.36, and the program built there must still need none past 2.34, so that
# the machines parties run (Ubuntu 22.04, Linux Mint 21) play it.
release_suite_setting=${TARNIX_RELEASE_SUITE:-bullseye}

# suite_label SUITE: "Debian 11 (bullseye)".
suite_label() {
    case $1 in
    bullseye) echo "Debian 11 (bullseye)" ;;
    bookworm) echo "Debian 12 (bookworm)" ;;
    trixie) echo "Debian 13 (trixie)" ;;
    *) echo "Debian $1" ;;
    esac
}

# glibc_limit SUITE: the newest glibc the program built there may need.
glibc_limit() {
    case $1 in
    bullseye) echo 2.31 ;;
    bookworm) echo 2.34 ;;
    *) echo "glibc_limit: no release is built in $1" >&2; return 2 ;;
    esac
}

# release_build_suite: prints the suite the Linux release is built in: the
# setting's, unless it is Debian 11 and that cannot be had (no system of it
# kept here, and the mirror serves it no more), where it says so in one line
# on standard error and takes Debian 12.
release_build_suite() {
    local suite=$release_suite_setting
    case $suite in
    bullseye | bookworm) ;;
    *) echo "TARNIX_RELEASE_SUITE=$suite: the release is built in bullseye (Debian 11) or bookworm (Debian 12)" >&2
        return 2 ;;
    esac
    if [ "$suite" = bullseye ] && ! suite_can_be_had bullseye build-bullseye; then
        echo "release: $(suite_label bullseye) cannot be had from $debian_mirror any more: building in $(suite_label bookworm) instead, for glibc $(glibc_limit bookworm) at most" >&2
        suite=bookworm
    fi
    echo "$suite"
}

# suite_can_be_had SUITE SYSTEM: the system SYSTEM of SUITE is kept here, or
# the mirror still serves SUITE's index.
suite_can_be_had() {
    [ -f "$(system_path "$2").stamp" ] && [ -d "$(system_path "$2")" ] && return 0
    local index
    index=$(mktemp)
    /usr/lib/apt/apt-helper download-file "$debian_mirror/dists/$1/Release" "$index" >/dev/null 2>&1
    local status=$?
    rm -f "$index"
    return $status
}

# Succeeds when this user can make Debian systems and run commands in them
# here; otherwise prints why not, in one line, and fails.
systems_possible() {
    command -v mmdebstrap >/dev/null || { echo "mmdebstrap is not installed (package mmdebstrap)"; return 1; }
    [ "$(id -u)" -eq 0 ] && return 0
    local user
    user=$(id -un)
    unshare --user --map-root-user --mount --pid --fork --mount-proc true 2>/dev/null || {
        echo "the kernel gives $user no user namespace (unshare --user --map-root-user fails), which a Debian system needs without root"
        return 1
    }
    command -v newuidmap >/dev/null && command -v newgidmap >/dev/null ||
        { echo "newuidmap is missing (package uidmap): mmdebstrap needs it to make a Debian system without root"; return 1; }
    grep -qE "^($user|$(id -u)):" /etc/subuid 2>/dev/null && grep -qE "^($user|$(id -u)):" /etc/subgid 2>/dev/null ||
        { echo "/etc/subuid or /etc/subgid gives $user no range of ids, which mmdebstrap needs to make a Debian system without root (adduser gives one; as root: usermod --add-subuids 100000-165535 --add-subgids 100000-165535 $user)"; return 1; }
}

# Makes the cache folder when missing, and refuses it (one line, status 1)
# unless this user alone can change it: programs from it run in the systems,
# and whoever could write there could put their own into them. The folder
# must be this user's and writable by no one else; each folder above it this
# user's or root's, and writable by no one else unless sticky (/tmp), so that
# the cache cannot be moved away and replaced. tarnix_cache becomes the
# folder's real path, without symbolic links.
check_cache_folder() {
    # Made for this user alone, whatever the umask (a group of one's own may
    # be allowed to write by default).
    if ! (umask 077 && mkdir -p "$tarnix_cache") || ! tarnix_cache=$(realpath -e "$tarnix_cache"); then
        echo "$tarnix_cache: the cache folder cannot be made" >&2
        return 1
    fi
    local user folder=$tarnix_cache owner mode
    user=$(id -u)
    read -r owner mode <<<"$(stat -c '%u %a' "$folder")"
    [ "$owner" = "$user" ] ||
        { echo "$folder: the cache folder belongs to user $owner, not to $(id -un) who runs this: not used" >&2; return 1; }
    ((8#$mode & 8#022)) &&
        { echo "$folder: the cache folder is writable by other users (mode $mode): not used" >&2; return 1; }
    while [ "$folder" != / ]; do
        folder=$(dirname "$folder")
        read -r owner mode <<<"$(stat -c '%u %a' "$folder")"
        if { [ "$owner" != "$user" ] && [ "$owner" != 0 ]; } || (((8#$mode & 8#022) && !(8#$mode & 8#1000))); then
            echo "$tarnix_cache: the folder $folder above it belongs to user $owner with mode $mode, so others could replace the cache folder: not used" >&2
            return 1
        fi
    done
    return 0
}

# take_cache_lock PART: waits for the lock of a part of the cache: build (the
# Debian 11 build system and the libraries built in it), viewers (the systems
# the archive is tried in) or mingw (the Windows libraries); a concurrent
# release build, another clone. Holds it until the script ends or
# release_cache_lock: while the part is made and while it is used, so that no
# run with another recipe makes it again underneath. Parts do not wait for
# each other: the viewer systems are made while the program builds, and the
# Linux and the Windows releases run side by side. A lock is a folder of its
# own, opened for reading: there is no lock file that a planted symbolic link
# could send elsewhere.
take_cache_lock() {
    check_cache_folder || exit 1
    local part="$tarnix_cache/locks/${1:?take_cache_lock: which part}"
    mkdir -p "$part"
    [ -d "$part" ] && [ ! -L "$part" ] || { echo "$part: not a folder of the cache's own: not used" >&2; exit 1; }
    exec 9<"$part"
    flock 9
}
release_cache_lock() { exec 9<&-; }

# build_libraries PREFIX RECIPE SCRIPT SOURCES WHAT
# Has SCRIPT (release-windows-libraries.sh, release-web-libraries.sh) build
# libraries into PREFIX, at the lowest priority, from source packages kept in
# SOURCES, unless PREFIX was made with RECIPE (its stamp, PREFIX.stamp). They
# go into a new folder: an earlier one, or what a failed build left, is moved
# into a folder made beside it for that, and deleted there. WHAT says what
# is built in the messages. The caller holds the cache part's lock.
build_libraries() {
    local prefix=$1 recipe=$2 script=$3 sources=$4 what=$5 earlier
    stamp_holds "$prefix.stamp" "$recipe" && [ -d "$prefix" ] && return 0
    say "building $what into $prefix"
    rm -f "$prefix.stamp"
    mkdir -p "$(dirname "$prefix")" "$sources"
    earlier=$(mktemp -d "$(dirname "$prefix")/earlier.XXXXXX")
    if [ -e "$prefix" ] || [ -L "$prefix" ]; then mv "$prefix" "$earlier/"; fi
    rm -rf --one-file-system "${earlier:?}"
    nice -n 19 bash "$script" "$prefix" "$sources" ||
        { echo "$(basename "$script" .sh): building $what into $prefix failed" >&2; exit 1; }
    echo "$recipe" >"$prefix.stamp"
}

# Deletes the folders given, systems among them: a system may hold folders
# without write permission, which its owner opens first.
remove_tree() {
    rm -rf --one-file-system "$@" 2>/dev/null && return 0
    chmod -R u+rwX "$@" 2>/dev/null
    rm -rf --one-file-system "$@"
}

# make_system NAME SUITE SOURCES PACKAGE...
# Makes the system NAME from Debian SUITE with mmdebstrap (--variant=minbase),
# SOURCES (lines) as its sources.list, and PACKAGE... installed without
# recommendations; kept until the recipe changes. The package lists stay, for
# apt-get source. Prints the log's end and fails when a step fails.
make_system() {
    local name=$1 suite=$2 sources=$3
    shift 3
    # The system's folder is deleted before it is made anew: a name that is
    # no folder of its own (empty, ".", a path) would take others with it.
    [[ $name =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] ||
        { echo "make_system: \"$name\" is no system's name (letters, digits, '.', '_' and '-')" >&2; return 2; }
    local root log recipe mode=unshare
    root=$(system_path "$name")
    log="$root.log"
    recipe=$(printf '%s\n' "mmdebstrap --variant=minbase $suite" "$sources" "include $*")
    if [ -d "$root" ] && stamp_holds "$root.stamp" "$recipe"; then
        return 0
    fi
    say "making the Debian $suite system $name in $root"
    remove_tree "${root:?}" "$root.new" && rm -f "$root.stamp" || return 1
    mkdir -p "$root.new"
    [ "$(id -u)" -ne 0 ] || mode=root
    local mirrors=() line
    while IFS= read -r line; do [ -z "$line" ] || mirrors+=("$line"); done <<<"$sources"
    # As a tar, unpacked here: what unshare mode writes straight into a folder
    # belongs to ids of /etc/subuid that this user could not even delete.
    # Device files are left out (in_system binds the host's); apt runs as
    # root in the system, as an ordinary user's namespace has no other user.
    # Low priority, as every build of the releases (see release.sh). Without
    # the locks' descriptors: mmdebstrap's unshare mode hands apt one past 9
    # when they are taken, which dash (apt's sh) cannot redirect.
    local statuses
    nice -n 19 mmdebstrap --mode="$mode" --variant=minbase --format=tar --include="$(tr ' ' ',' <<<"$*")" \
        --aptopt='APT::Sandbox::User "root"' --skip=cleanup/apt/lists "$suite" - "${mirrors[@]}" 2>"$log" 8<&- 9<&- |
        tar -x -p -C "$root.new" --exclude='./dev/*' 2>>"$log" && statuses=("${PIPESTATUS[@]}") || statuses=("${PIPESTATUS[@]}")
    if [ "${statuses[0]}" -ne 0 ] || [ "${statuses[1]}" -ne 0 ]; then
        tail -n 20 "$log" >&2
        echo "$name: mmdebstrap of Debian $suite failed (the whole log: $log)" >&2
        return 1
    fi
    mv "$root.new" "$root"
    printf '%s\n' "$recipe" >"$root.stamp"
}

# in_system ROOT [OPTION...] -- COMMAND [ARGUMENT...]
# Runs COMMAND in the system at ROOT, as its root, with a clean environment
# (PATH, HOME, LANG=C.UTF-8 and what COMMAND sets itself, e.g. through env),
# /proc mounted and a /dev of the host's null, zero, full, random, urandom and
# tty; returns its status. Every process COMMAND starts ends with it. Options:
#   --read-only         the system mounted read-only, with an empty /tmp (a
#                       tmpfs) for HOME and caches: whatever runs, the system
#                       stays as it was made
#   --bind HOST DIR     the host's folder HOST at DIR in the system (made when
#                       missing; under /tmp for a read-only system)
#   --bind-ro HOST DIR  the same, read-only
in_system() {
    system_command "$@" || return
    "${in_system_command[@]}"
}

# start_in_system ROOT [OPTION...] -- COMMAND [ARGUMENT...]
# in_system in the background; the process id to wait for, or to give to
# stop_in_system, in in_system_pid.
start_in_system() {
    system_command "$@" || return
    "${in_system_command[@]}" &
    # shellcheck disable=SC2034 # for the caller, which waits for or stops it
    in_system_pid=$!
}

# stop_in_system PID: ends what start_in_system started as PID, every process
# of it, and waits for it. SIGKILL: unshare holds SIGTERM back until its child
# ends. Its child, the namespace's first process, is then killed with it
# (--kill-child), and with that one the kernel ends all the others.
stop_in_system() {
    kill -KILL "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}

# Sets in_system_command to the unshare command of in_system's arguments.
system_command() {
    local root=$1
    shift
    local mounts=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        case $1 in
        --read-only) mounts+=(read-only - -); shift ;;
        --bind | --bind-ro) mounts+=("${1#--}" "$2" "$3"); shift 3 ;;
        *) echo "in_system: unknown option $1" >&2; return 2 ;;
        esac
    done
    [ "${1:-}" = -- ] || { echo "in_system: no command" >&2; return 2; }
    shift
    # An ordinary user is root in a user namespace of its own (see above).
    local user=()
    [ "$(id -u)" -eq 0 ] || user=(--user --map-root-user)
    in_system_command=(unshare "${user[@]}" --mount --propagation private --pid --kill-child --
        bash -c "$in_system_script" in-system "$root" "${#mounts[@]}" "${mounts[@]}" "$@")
}

# The part of in_system that runs in the new namespaces, as the first process
# of its PID namespace: when it ends, so does every other process there.
# shellcheck disable=SC2016
in_system_script='
set -eu
# chroot is in /usr/sbin, which an ordinary user'"'"'s PATH leaves out.
PATH=/usr/sbin:/sbin:$PATH
root=$1 count=$2
shift 2
mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount --lazy "${mounted[i]}" 2>/dev/null || true; done
}
trap unmount_all EXIT
mount_at() { mount "$@"; mounted+=("${!#}"); }

# The read-only root first: the other mounts go on top of it.
home=/root cache=/root/.cache
for ((i = 0; i < count; i += 3)); do
    if [ "${@:i+1:1}" = read-only ]; then
        mount_at --bind "$root" "$root"
        mount -o remount,bind,ro "$root"
        mount_at -t tmpfs -o mode=1777 tmpfs "$root/tmp"
        home=/tmp cache=/tmp/.cache
    fi
done
mount_at -t proc proc "$root/proc"
# The systems hold no device files (an ordinary user cannot make them): the
# host'"'"'s harmless ones are bound over a /dev of the command'"'"'s own.
mount_at -t tmpfs -o mode=755,nosuid tmpfs "$root/dev"
for node in null zero full random urandom tty; do
    : >"$root/dev/$node"
    mount_at --bind "/dev/$node" "$root/dev/$node"
done
ln -s /proc/self/fd "$root/dev/fd"
ln -s /proc/self/fd/0 "$root/dev/stdin"
ln -s /proc/self/fd/1 "$root/dev/stdout"
ln -s /proc/self/fd/2 "$root/dev/stderr"
mkdir "$root/dev/shm" "$root/dev/pts"
mount_at -t tmpfs -o mode=1777,nosuid,nodev tmpfs "$root/dev/shm"
for ((i = 0; i < count; i += 3)); do
    kind=${@:i+1:1} host=${@:i+2:1} dir=${@:i+3:1}
    case $kind in
    bind | bind-ro)
        mkdir -p "$root$dir"
        mount_at --bind "$host" "$root$dir"
        [ "$kind" = bind ] || mount -o remount,bind,ro "$root$dir"
        ;;
    esac
done
shift "$count"

# XDG_CACHE_HOME as well: without it Mesa puts its cache in the home folder
# of the password file, not in HOME.
chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" \
    XDG_CACHE_HOME="$cache" LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@" &
child=$!
# Waiting on a background child lets a signal reach its trap at once.
trap "kill -TERM $child 2>/dev/null" TERM INT HUP
status=0
wait "$child" || status=$?
while kill -0 "$child" 2>/dev/null; do
    status=0
    wait "$child" || status=$?
done
exit "$status"
'
