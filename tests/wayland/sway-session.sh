#!/usr/bin/env bash
# Runs a command inside a private headless sway session: one 1920x1080 output at 60 Hz
# (HEADLESS-1), its own session bus, its own runtime directory, and no user's settings.
# sway refuses to run as root, so as root the session runs as an unprivileged system user
# made for the tests. The command sees WAYLAND_DISPLAY, SWAYSOCK, DBUS_SESSION_BUS_ADDRESS,
# XDG_RUNTIME_DIR and KESTREL_SESSION_DIR (a folder it may write to); the session ends with
# it, and so does everything started in it. KESTREL_SWAY_CONFIG adds lines to sway's
# configuration, with @SESSION_DIR@ standing for that folder. KESTREL_SWAY_PIPEWIRE=1 starts
# PipeWire in the session too, which the desktop portal's wlroots backend will not start
# without.
#   bash tests/wayland/sway-session.sh COMMAND [ARGUMENT...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
user=kestrel-sway

if [ "${1:-}" != --as-user ] && [ "${1:-}" != --in-session ]; then
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
                echo "sway-session: $user cannot run $1; the build's folders must be open to" \
                    "other users (sway refuses to run as root)" >&2
                exit 1
            }
            ;;
        esac
        setpriv --reuid="$user" --regid="$user" --clear-groups --reset-env \
            env PATH="$PATH" KESTREL_SWAY_PIPEWIRE="${KESTREL_SWAY_PIPEWIRE:-}" ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
            bash "$here/sway-session.sh" --as-user "$root" "$@" || status=$?
    else
        env -i PATH="$PATH" KESTREL_SWAY_PIPEWIRE="${KESTREL_SWAY_PIPEWIRE:-}" ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
            bash "$here/sway-session.sh" --as-user "$root" "$@" || status=$?
    fi
    [ "$status" = 0 ] || { echo "sway-session: the command ended with $status; sway said:" >&2; tail -n 20 "$root/sway.log" >&2 || true; }
    rm -rf "$root" 2>/dev/null || true
    exit "$status"
fi

if [ "$1" = --as-user ]; then
    root=$2
    shift 2
    export HOME=$root/home XDG_RUNTIME_DIR=$root/runtime KESTREL_SESSION_DIR=$root/work
    export TMPDIR=$root/work XDG_CONFIG_HOME=$root/home/.config XDG_SESSION_TYPE=wayland
    exec dbus-run-session -- bash "$here/sway-session.sh" --in-session "$root" "$@"
fi

root=$2
shift 2
export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman XDG_CURRENT_DESKTOP=sway
sway -c "$root/sway.conf" >"$root/sway.log" 2>&1 &
sway=$!
trap 'kill "$sway" 2>/dev/null; wait "$sway" 2>/dev/null' EXIT
deadline=$((SECONDS + 30))
until socket=$(cd "$XDG_RUNTIME_DIR" && ls sway-ipc.*.sock 2>/dev/null) && [ -n "$socket" ] &&
    display=$(cd "$XDG_RUNTIME_DIR" && ls 2>/dev/null | grep -E '^wayland-[0-9]+$' | head -n 1) &&
    [ -n "$display" ]; do
    if ! kill -0 "$sway" 2>/dev/null || [ "$SECONDS" -ge "$deadline" ]; then
        echo "sway-session: sway did not start" >&2
        exit 1
    fi
    sleep 0.05
done
export WAYLAND_DISPLAY=$display SWAYSOCK=$XDG_RUNTIME_DIR/$socket
# Services the session bus starts on demand (the desktop portal) find the compositor.
dbus-update-activation-environment WAYLAND_DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE XDG_CONFIG_HOME
if [ "${KESTREL_SWAY_PIPEWIRE:-}" = 1 ]; then
    pipewire >"$root/pipewire.log" 2>&1 &
    pipewire=$!
    trap 'kill "$pipewire" "$sway" 2>/dev/null; wait "$pipewire" "$sway" 2>/dev/null' EXIT
    until [ -S "$XDG_RUNTIME_DIR/pipewire-0" ]; do
        kill -0 "$pipewire" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ] ||
            { echo "sway-session: PipeWire did not start" >&2; cat "$root/pipewire.log" >&2; exit 1; }
        sleep 0.05
    done
fi
# The IPC answers once sway's configuration is loaded.
until swaymsg -t get_version >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "sway-session: sway's IPC did not answer" >&2; exit 1; }
    sleep 0.05
done
"$@"
