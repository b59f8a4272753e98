#!/usr/bin/env bash
# Runs the README's test command in a fresh Debian system of another release, as a new user
# of that release would: makes the system with mmdebstrap from Debian's mirror, clones this
# checkout's committed state into it, and runs `bash scripts/test.sh` there as root, with
# the kernel's file systems mounted. Every process and mount it started is ended, and the
# system removed, however the run ends.
#   bash scripts/test-release.sh bookworm|trixie|forky|sid [test.sh arguments...]
# KESTREL_RELEASE_DIR names the folder the system is made in (default: a new one under
# /var/tmp); KESTREL_RELEASE_KEEP=1 keeps it afterwards, for a look inside.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/lib/chroot.sh
source scripts/lib/chroot.sh

release=${1:-}
case "$release" in
bookworm | trixie | forky | sid) shift ;;
*)
    echo "usage: test-release.sh bookworm|trixie|forky|sid [test.sh arguments...]" >&2
    exit 2
    ;;
esac
[ "$(id -u)" = 0 ] || { echo "test-release: chroot needs root" >&2; exit 1; }

root=${KESTREL_RELEASE_DIR:-$(mktemp -d /var/tmp/kestrel-$release.XXXXXX)}
mkdir -p "$root"
cleanup() {
    release_root_down "$root"
    [ -n "${KESTREL_RELEASE_KEEP:-}" ] || rm -rf --one-file-system "$root"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

started=$(date +%s)
echo "test-release: making Debian $release in $root" >&2
make_release_root "$release" "$root"
mount_release_root "$root"
git clone -q "$PWD" "$root/src/kestrel"
echo "test-release: $release made in $(($(date +%s) - started)) s; running scripts/test.sh there" >&2
status=0
# In the background and waited for, so that an INT or TERM ends the run at once (a
# foreground command would hold the traps until it finished).
in_release_root "$root" bash -c 'cd /src/kestrel && bash scripts/test.sh "$@"' test.sh "$@" &
wait $! || status=$?
echo "test-release: Debian $release: scripts/test.sh ended with $status after $(($(date +%s) - started)) s" >&2
exit "$status"
