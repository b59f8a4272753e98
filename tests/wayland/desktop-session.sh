#!/usr/bin/env bash
# Runs a command inside a private headless Wayland desktop, with its own session bus, its own
# runtime directory and no user's settings:
#   sway    one 1920x1080 output at 60 Hz (HEADLESS-1);
#   mutter  GNOME's compositor with one 1920x1080 virtual monitor, PipeWire, WirePlumber and
#           the desktop portal (started by the bus), for the ScreenCast portal.
# Compositors refuse to run as root, so as root the session runs as an unprivileged system
# user made for the tests. The command sees WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# XDG_RUNTIME_DIR, KESTREL_SESSION_DIR (a folder it may write to) and, under sway, SWAYSOCK;
# the session ends with it, and so does everything started in it. KESTREL_SWAY_CONFIG adds
# lines to sway's configuration, with @SESSION_DIR@ standing for that folder.
# KESTREL_SWAY_PIPEWIRE=1 starts PipeWire under sway too, which the desktop portal's wlroots
# backend will not start without.
#   bash tests/wayland/desktop-session.sh sway|mutter COMMAND [ARGUMENT...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
user=kestrel-sway

if [ "${1:-}" != --as-user ] && [ "${1:-}" != --in-session ]; then
    desktop=${1:-}
    case "$desktop" in sway | mutter) shift ;; *) echo "usage: desktop-session.sh sway|mutter COMMAND..." >&2; exit 2 ;; esac
    root=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-sway.XXXXXX")
    chmod 755 "$root"
    mkdir -p "$root/home" "$root/runtime" "$root/work"
    chmod 700 "$root/runtime"
    {
        echo "output HEADLESS-1 mode 1920x1080@60Hz position 0 0"
        echo "default_border none"
        printf '%s\n' "${KESTREL_SWAY_CONFIG:-}" | sed "s|@SESSION_DIR@|$root/work|g"
    } >"$root/sway.conf"
    status=0
    if [ "$(id -u)" = 0 ]; then
        id "$user" >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
        chown -R "$user:" "$root"
        case "$1" in
        */*)
            setpriv --reuid="$user" --regid="$user" --clear-groups test -x "$1" || {
                echo "desktop-session: $user cannot run $1; the build's folders must be open to" \
                    "other users (compositors refuse to run as root)" >&2
                exit 1
            }
            ;;
        esac
        setpriv --reuid="$user" --regid="$user" --clear-groups --reset-env \
            env PATH="$PATH" KESTREL_SWAY_PIPEWIRE="${KESTREL_SWAY_PIPEWIRE:-}" ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
            bash "$here/desktop-session.sh" --as-user "$root" "$desktop" "$@" || status=$?
    else
        env -i PATH="$PATH" KESTREL_SWAY_PIPEWIRE="${KESTREL_SWAY_PIPEWIRE:-}" ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
            bash "$here/desktop-session.sh" --as-user "$root" "$desktop" "$@" || status=$?
    fi
    [ "$status" = 0 ] || { echo "desktop-session: the command ended with $status; $desktop said:" >&2; tail -n 20 "$root/$desktop.log" >&2 || true; }
    rm -rf "$root" 2>/dev/null || true
    exit "$status"
fi

if [ "$1" = --as-user ]; then
    root=$2
    shift 2
    export HOME=$root/home XDG_RUNTIME_DIR=$root/runtime KESTREL_SESSION_DIR=$root/work
    export TMPDIR=$root/work XDG_CONFIG_HOME=$root/home/.config XDG_SESSION_TYPE=wayland
    exec dbus-run-session -- bash "$here/desktop-session.sh" --in-session "$root" "$@"
fi

root=$2
desktop=$3
shift 3
deadline=$((SECONDS + 30))
fail() {
    echo "desktop-session: $*" >&2
    exit 1
}
# Waits for a file (a socket) that the process `pid` makes.
await() {  # PATH PID WHAT
    until [ -e "$1" ]; do
        kill -0 "$2" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ] || fail "$3 did not start"
        sleep 0.05
    done
}
# PipeWire for the portal's screen streams, and WirePlumber, which links a stream to its
# reader.
start_pipewire() {
    pipewire >"$root/pipewire.log" 2>&1 &
    pids+=($!)
    await "$XDG_RUNTIME_DIR/pipewire-0" $! PipeWire
    if [ "$desktop" = mutter ]; then
        wireplumber >"$root/wireplumber.log" 2>&1 &
        pids+=($!)
    fi
}
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null' EXIT

if [ "$desktop" = mutter ]; then
    export XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY=wayland-kestrel
    mutter --headless --virtual-monitor 1920x1080 --wayland --no-x11 \
        --wayland-display "$WAYLAND_DISPLAY" >"$root/mutter.log" 2>&1 &
    pids+=($!)
    await "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" $! mutter
    # Mutter's own services on the bus, which the portal's GNOME backend uses.
    until gdbus introspect --session --dest org.gnome.Mutter.ScreenCast \
        --object-path /org/gnome/Mutter/ScreenCast >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || fail "mutter's ScreenCast did not answer"
        sleep 0.05
    done
    # A GNOME desktop's portal backends only: KDE's, installed for the KWin tests, would
    # answer here too.
    export XDG_DESKTOP_PORTAL_DIR=$root/portals
    mkdir -p "$XDG_DESKTOP_PORTAL_DIR"
    cp /usr/share/xdg-desktop-portal/portals/{gnome,gtk}.portal "$XDG_DESKTOP_PORTAL_DIR"
    dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        XDG_CONFIG_HOME XDG_DESKTOP_PORTAL_DIR
    start_pipewire
    "$@"
    exit
fi

export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman XDG_CURRENT_DESKTOP=sway
sway -c "$root/sway.conf" >"$root/sway.log" 2>&1 &
sway=$!
pids+=($sway)
until socket=$(cd "$XDG_RUNTIME_DIR" && ls sway-ipc.*.sock 2>/dev/null) && [ -n "$socket" ] &&
    display=$(cd "$XDG_RUNTIME_DIR" && ls 2>/dev/null | grep -E '^wayland-[0-9]+$' | head -n 1) &&
    [ -n "$display" ]; do
    if ! kill -0 "$sway" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
        fail "sway did not start"
    fi
    sleep 0.05
done
export WAYLAND_DISPLAY=$display SWAYSOCK=$XDG_RUNTIME_DIR/$socket
# Services the session bus starts on demand (the desktop portal) find the compositor.
dbus-update-activation-environment WAYLAND_DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE XDG_CONFIG_HOME
[ "${KESTREL_SWAY_PIPEWIRE:-}" = 1 ] && start_pipewire
# The IPC answers once sway's configuration is loaded.
until swaymsg -t get_version >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || fail "sway's IPC did not answer"
    sleep 0.05
done
"$@"
