#!/usr/bin/env bash
# Runs a command inside a private headless KWin session (kwin_wayland --virtual): one
# 1920x1080 output (Virtual-0), or KESTREL_KWIN_OUTPUTS of them side by side, its own
# session bus, its own runtime directory, and no user's settings. KWin refuses to run as
# root, so as root the session runs as an unprivileged system user made for the tests. The
# command sees WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR and
# KESTREL_SESSION_DIR (a folder it may write to); the session ends with it, and so does
# everything started in it.
#   KESTREL_KWIN_AUTHORISE=PROGRAM  gets a desktop entry in the session that lets it use
#                                   KWin's restricted screenshot interface, as an installed
#                                   Kestrel's entry does; any other program is refused it.
#   bash tests/wayland/kwin-session.sh COMMAND [ARGUMENT...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
user=kestrel-kwin
passed=(PATH="$PATH" KESTREL_KWIN_OUTPUTS="${KESTREL_KWIN_OUTPUTS:-1}"
    KESTREL_KWIN_AUTHORISE="${KESTREL_KWIN_AUTHORISE:-}"
    ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}")

if [ "${1:-}" != --as-user ] && [ "${1:-}" != --in-session ]; then
    root=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-kwin.XXXXXX")
    # Removed however the run ends, a test's time limit included.
    trap 'rm -rf "$root" 2>/dev/null || true' EXIT
    chmod 755 "$root"
    mkdir -p "$root/home/.config" "$root/home/.local/share/applications" "$root/runtime" \
        "$root/work" "$root/bin"
    chmod 700 "$root/runtime"
    # The packaged kwin_wayland carries a file capability (cap_sys_resource) that a
    # container cannot grant, so it would not start; a plain copy does. KWin finds its
    # helpers by its own name, which the copy keeps.
    cp /usr/bin/kwin_wayland "$root/bin/kwin_wayland"
    status=0
    if [ "$(id -u)" = 0 ]; then
        id "$user" >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
        chown -R "$user:" "$root"
        case "$1" in
        */*)
            setpriv --reuid="$user" --regid="$user" --clear-groups test -x "$1" || {
                echo "kwin-session: $user cannot run $1; the build's folders must be open to" \
                    "other users (KWin refuses to run as root)" >&2
                exit 1
            }
            ;;
        esac
        setpriv --reuid="$user" --regid="$user" --clear-groups --reset-env \
            env "${passed[@]}" bash "$here/kwin-session.sh" --as-user "$root" "$@" || status=$?
    else
        env -i "${passed[@]}" bash "$here/kwin-session.sh" --as-user "$root" "$@" || status=$?
    fi
    [ "$status" = 0 ] || { echo "kwin-session: the command ended with $status; KWin said:" >&2; tail -n 20 "$root/kwin.log" >&2 || true; }
    exit "$status"
fi

if [ "$1" = --as-user ]; then
    root=$2
    shift 2
    export HOME=$root/home XDG_RUNTIME_DIR=$root/runtime KESTREL_SESSION_DIR=$root/work
    export TMPDIR=$root/work XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share
    export XDG_CACHE_HOME=$root/home/.cache XDG_SESSION_TYPE=wayland
    exec dbus-run-session -- bash "$here/kwin-session.sh" --in-session "$root" "$@"
fi

root=$2
shift 2
export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
if [ -n "$KESTREL_KWIN_AUTHORISE" ]; then
    # KWin lets a program use the interface when the first word of a desktop entry's Exec
    # is that program's very file: an absolute path, as the installed entry has.
    cat >"$XDG_DATA_HOME/applications/org.ardmoor.KestrelUnderTest.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Kestrel under test
Exec=$KESTREL_KWIN_AUTHORISE
NoDisplay=true
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
EOF
fi
kbuildsycoca5 >"$root/sycoca.log" 2>&1
socket=wayland-kestrel
# KWIN_WAYLAND_NO_PERMISSION_CHECKS opens KWin's fake input to the tests' key presses; it
# does not touch the screenshot interface's own check of the desktop entry.
KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$root/bin/kwin_wayland" --virtual --no-lockscreen \
    --width 1920 --height 1080 --output-count "$KESTREL_KWIN_OUTPUTS" --socket "$socket" \
    >"$root/kwin.log" 2>&1 &
kwin=$!
# KWin ends with the signal's number, which is no failure of the command's.
trap 'kill "$kwin" 2>/dev/null; wait "$kwin" 2>/dev/null || true' EXIT
deadline=$((SECONDS + 30))
owned() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
# KWin takes its bus name once its outputs and screenshot interface are up.
until [ -S "$XDG_RUNTIME_DIR/$socket" ] && owned org.kde.KWin; do
    if ! kill -0 "$kwin" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
        echo "kwin-session: KWin did not start" >&2
        tail -n 20 "$root/kwin.log" >&2
        exit 1
    fi
    sleep 0.05
done
export WAYLAND_DISPLAY=$socket
# Services the session bus starts on demand (the desktop portal) find the compositor.
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
    XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME KDE_FULL_SESSION KDE_SESSION_VERSION \
    QT_QPA_PLATFORM=wayland
"$@"
