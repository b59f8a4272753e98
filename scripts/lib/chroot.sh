# Shell helpers for a Debian system made with mmdebstrap and entered with chroot, shared by
# scripts/test-release.sh: making it, entering it with the kernel's file systems mounted,
# and ending every process and mount it holds. Sourced, never run; root only.

# The suite names Debian's mirror serves, and the apt options a release needs: testing's
# Release file is served past its Valid-Until date.
release_apt_options() {
    case "$1" in
    forky | testing | sid | unstable) echo "Acquire::Check-Valid-Until \"false\";" ;;
    esac
}

# Makes a fresh system of release $1 in the empty folder $2.
make_release_root() {
    local release=$1 root=$2 option
    option=$(release_apt_options "$release")
    command -v mmdebstrap >/dev/null || {
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null ||
            { apt-get update -qq >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null; }
    }
    mmdebstrap --quiet --variant=apt ${option:+--aptopt="$option"} "$release" "$root"
}

# Mounts what programs in the system $1 need of the kernel: /proc, /sys, /dev, /dev/pts and
# /dev/shm, each on its own so each can be taken down again. The system's / is a mount of
# its own, as on a machine, and a private one, so that what a test mounts in a namespace of
# its own there never reaches this system's mounts.
mount_release_root() {
    local root=$1 fs
    mount --bind "$root" "$root"
    mount --make-private "$root"
    for fs in proc sys dev dev/pts dev/shm; do
        mkdir -p "$root/$fs"
        mount --bind "/$fs" "$root/$fs"
    done
}

# The processes whose root is the system $1.
release_root_processes() {
    local root pid
    root=$(stat -Lc %d:%i "$1")
    for pid in /proc/[0-9]*; do
        [ "$(stat -Lc %d:%i "$pid/root" 2>/dev/null)" = "$root" ] && echo "${pid#/proc/}"
    done
    return 0
}

# Ends every process running in the system $1 (TERM, then KILL after five seconds) and
# unmounts everything mounted below it, deepest first.
release_root_down() {
    local root=$1 pids deadline mounts
    root=$(cd "$root" && pwd -P)
    pids=$(release_root_processes "$root")
    if [ -n "$pids" ]; then
        kill $pids 2>/dev/null || true
        deadline=$(($(date +%s) + 5))
        while [ -n "$(release_root_processes "$root")" ] && [ "$(date +%s)" -lt "$deadline" ]; do
            sleep 0.2
        done
        pids=$(release_root_processes "$root")
        [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
    fi
    mounts=$(awk -v r="$root" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/self/mounts | sort -r)
    for m in $mounts; do
        umount "$m" 2>/dev/null || umount -l "$m"
    done
}

# Runs a command inside the system $1 with a clean environment as root's login would have
# it, passing CI through.
in_release_root() {
    local root=$1
    shift
    chroot "$root" env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 TERM="${TERM:-dumb}" ${CI:+CI="$CI"} "$@"
}
