# Debian systems made with debootstrap from Debian's packages, kept in the
# cache folder for the next run, and commands run inside them. Sourced after
# common.sh by the release script and its test.
#
# In the cache folder ($tarnix_cache):
#   debs/            every .deb downloaded, shared by all systems: debootstrap's
#                    package cache, and the apt archive of each system
#   sources/linux/   the Debian source packages each release builds from, in
#   sources/windows/ a folder of its own: the two take different versions of
#                    one package (Debian 11's SDL for Linux, Debian 12's for
#                    Windows)
#   mingw/x86_64/    the Windows release's libraries (release-windows.sh)
#   systems/NAME/    a system; systems/NAME.stamp holds the recipe it was made
#                    from, so that a changed recipe makes it again
# The folder itself is the cache's lock (see take_cache_lock).
#
# A command runs in a system inside a mount namespace and a PID namespace of
# its own: /proc and the folders bound in are mounted there only, and every
# process it starts (a server, a daemon an installed package starts) lives
# there only, so they are gone with the command however it ends (a kill
# included) and the host never sees them. The mounts are undone on the way out
# all the same.

debian_mirror=http://deb.debian.org/debian
system_path() { echo "$tarnix_cache/systems/$1"; }

# Makes the cache folder when missing, and refuses it (one line, status 1)
# unless this user alone can change it: root runs programs from it in chroots,
# and whoever could write there could put their own into the systems. The
# folder must be this user's and writable by no one else; each folder above
# it this user's or root's, and writable by no one else unless sticky (/tmp),
# so that the cache cannot be moved away and replaced. tarnix_cache becomes
# the folder's real path, without symbolic links.
check_cache_folder() {
    if ! mkdir -p "$tarnix_cache" || ! tarnix_cache=$(realpath -e "$tarnix_cache"); then
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

# Waits for the cache's lock (a concurrent release build, another clone), and
# holds it until the script ends or release_cache_lock: while a part of the
# cache is made and while it is used, so that no run with another recipe makes
# it again underneath. The lock is the cache folder itself, opened for reading:
# there is no lock file that a planted symbolic link could send elsewhere.
take_cache_lock() {
    check_cache_folder || exit 1
    exec 9<"$tarnix_cache"
    flock 9
}
release_cache_lock() { exec 9<&-; }

# make_system NAME SUITE SOURCES PACKAGE...
# Makes the system NAME from Debian SUITE with debootstrap (--variant=minbase),
# SOURCES as its sources.list, and then PACKAGE... installed with apt-get
# without recommendations; kept until the recipe changes. Prints the log's end
# and fails when a step fails.
make_system() {
    local name=$1 suite=$2 sources=$3
    shift 3
    # The system's folder is deleted before it is made anew: a name that is
    # no folder of its own (empty, ".", a path) would take others with it.
    [[ $name =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] ||
        { echo "make_system: \"$name\" is no system's name (letters, digits, '.', '_' and '-')" >&2; return 2; }
    local root log recipe
    root=$(system_path "$name")
    log="$root.log"
    recipe=$(printf '%s\n' "debootstrap --variant=minbase $suite" "$sources" "apt-get install $*")
    if [ -d "$root" ] && [ "$(cat "$root.stamp" 2>/dev/null)" = "$recipe" ]; then
        return 0
    fi
    say "making the Debian $suite system $name in $root"
    # --one-file-system: nothing can be mounted in there from the host's side,
    # but should it ever be, rm stops at it rather than deleting through it.
    rm -rf --one-file-system "${root:?}" "$root.new" "$root.stamp"
    mkdir -p "$tarnix_cache/debs" "$(dirname "$root")"
    if ! debootstrap --variant=minbase --cache-dir="$tarnix_cache/debs" "$suite" "$root.new" "$debian_mirror" \
        >"$log" 2>&1; then
        tail -n 20 "$log" >&2
        echo "$name: debootstrap of Debian $suite failed (the whole log: $log)" >&2
        return 1
    fi
    # debootstrap leaves copies of the packages in the system; the shared ones do.
    rm -f "$root.new"/var/cache/apt/archives/*.deb
    printf '%s\n' "$sources" >"$root.new/etc/apt/sources.list"
    if ! { in_system "$root.new" --apt -- apt-get update -qq &&
        in_system "$root.new" --apt -- apt-get install -y -qq --no-install-recommends "$@"; } >>"$log" 2>&1; then
        tail -n 20 "$log" >&2
        echo "$name: installing $* in Debian $suite failed (the whole log: $log)" >&2
        return 1
    fi
    mv "$root.new" "$root"
    printf '%s\n' "$recipe" >"$root.stamp"
}

# in_system ROOT [OPTION...] -- COMMAND [ARGUMENT...]
# Runs COMMAND in the system at ROOT with a clean environment (PATH, HOME,
# LANG=C.UTF-8 and what COMMAND sets itself, e.g. through env) and /proc
# mounted; returns its status. Every process COMMAND starts ends with it. Options:
#   --apt               the shared package cache as the system's apt archive
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
        --apt) mounts+=(bind "$tarnix_cache/debs" /var/cache/apt/archives); shift ;;
        --read-only) mounts+=(read-only - -); shift ;;
        --bind | --bind-ro) mounts+=("${1#--}" "$2" "$3"); shift 3 ;;
        *) echo "in_system: unknown option $1" >&2; return 2 ;;
        esac
    done
    [ "${1:-}" = -- ] || { echo "in_system: no command" >&2; return 2; }
    shift
    in_system_command=(unshare --mount --propagation private --pid --kill-child -- bash -c "$in_system_script" in-system
        "$root" "${#mounts[@]}" "${mounts[@]}" "$@")
}

# The part of in_system that runs in the new namespaces, as the first process
# of its PID namespace: when it ends, so does every other process there.
# shellcheck disable=SC2016
in_system_script='
set -eu
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
