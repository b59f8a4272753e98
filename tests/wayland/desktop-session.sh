#!/usr/bin/env bash
# Runs a command inside a private headless Wayland desktop, with its own session bus, its own
# runtime directory and no user's settings:
#   sway    one 1920x1080 output at 60 Hz (HEADLESS-1);
#   mutter  GNOME's compositor with one 1920x1080 virtual monitor, PipeWire, WirePlumber and
#           the desktop portal (started by the bus), for the ScreenCast portal;
#   gnome-shell  the same with GNOME Shell, which gives the portal its global shortcuts;
#   kwin    KDE's, 1920x1080 (Virtual-0), or KESTREL_KWIN_OUTPUTS outputs side by side.
#   labwc   two 1920x1080 outputs at 60 Hz, HEADLESS-1 at 0,0 and HEADLESS-2 on its left, with
#           Ctrl+F bound to the capture action by the README's rc.xml line.
# Compositors refuse to run as root, so as root the session runs as an unprivileged system
# user made for the tests. The command sees WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# XDG_RUNTIME_DIR, KESTREL_SESSION_DIR (a folder it may write to) and, under sway, SWAYSOCK;
# the session ends with it, and so does everything started in it. KESTREL_SWAY_CONFIG adds
# lines to sway's configuration, with @SESSION_DIR@ standing for that folder.
# KESTREL_SWAY_PIPEWIRE=1 starts PipeWire under sway too, which the desktop portal's wlroots
# backend will not start without, and the portal. KESTREL_KWIN_AUTHORISE=PROGRAM gives that
# program a desktop
# entry that lets it use KWin's restricted screenshot interface, as an installed Kestrel's
# entry does; any other program is refused it.
#   bash tests/wayland/desktop-session.sh sway|mutter|gnome-shell|kwin|labwc COMMAND [ARGUMENT...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
user=kestrel-wayland

if [ "${1:-}" != --as-user ] && [ "${1:-}" != --in-session ]; then
    desktop=${1:-}
    case "$desktop" in sway | mutter | gnome-shell | kwin | labwc) shift ;; *) echo "usage: desktop-session.sh sway|mutter|gnome-shell|kwin|labwc COMMAND..." >&2; exit 2 ;; esac
    root=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-$desktop.XXXXXX")
    # Removed however the run ends, a test's time limit included.
    # The document portal may still have its file system mounted in the runtime folder,
    # which not even root can remove files from: it is unmounted first.
    remove_root() {
        local mount
        for mount in $(awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/self/mounts); do
            umount -l "$mount" 2>/dev/null || fusermount3 -uz "$mount" 2>/dev/null || true
        done
        rm -rf "$root" 2>/dev/null || true
    }
    trap remove_root EXIT
    chmod 755 "$root"
    mkdir -p "$root/home/.local/share/applications" "$root/runtime" "$root/work" "$root/bin"
    chmod 700 "$root/runtime"
    # The packaged kwin_wayland carries a file capability (cap_sys_resource) that a
    # container cannot grant, so it would not start; a plain copy does. KWin finds its
    # helpers by its own name, which the copy keeps.
    [ "$desktop" != kwin ] || cp /usr/bin/kwin_wayland "$root/bin/kwin_wayland"
    passed=(PATH="$PATH" KESTREL_SWAY_PIPEWIRE="${KESTREL_SWAY_PIPEWIRE:-}"
        KESTREL_TEST_SCREEN_SOURCE="${KESTREL_TEST_SCREEN_SOURCE:-}"
        KESTREL_KWIN_OUTPUTS="${KESTREL_KWIN_OUTPUTS:-1}"
        KESTREL_KWIN_AUTHORISE="${KESTREL_KWIN_AUTHORISE:-}"
        ASAN_OPTIONS="${ASAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}"
        KESTREL_SOAK_CAPTURES="${KESTREL_SOAK_CAPTURES:-}"
        KESTREL_SOAK_MINUTES="${KESTREL_SOAK_MINUTES:-}")
    {
        echo "output HEADLESS-1 mode 1920x1080@60Hz position 0 0"
        echo "default_border none"
        printf '%s\n' "${KESTREL_SWAY_CONFIG:-}" | sed "s|@SESSION_DIR@|$root/work|g"
    } >"$root/sway.conf"
    status=0
    if [ "$(id -u)" = 0 ]; then
        # Suites started together would each make the user (and one would fail on the
        # name the other took): it is made once, under a lock.
        flock /tmp/kestrel-wayland-user.lock bash -c "id $user >/dev/null 2>&1 ||
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin $user"
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
        # GNOME Shell asks logind for its session wherever systemd's run folder says there is
        # one, and waits for it on the session's private system bus, where there is none: the
        # session gets a mount namespace of its own with that folder empty.
        private=()
        if [ "$desktop" = gnome-shell ] && [ -d /run/systemd ]; then
            private=(unshare --mount --propagation private bash -c
                'mount -t tmpfs tmpfs /run/systemd && exec "$@"' private)
        fi
        "${private[@]}" setpriv --reuid="$user" --regid="$user" --clear-groups --reset-env \
            env "${passed[@]}" bash "$here/desktop-session.sh" --as-user "$root" "$desktop" "$@" ||
            status=$?
    else
        env -i "${passed[@]}" bash "$here/desktop-session.sh" --as-user "$root" "$desktop" "$@" ||
            status=$?
    fi
    [ "$status" = 0 ] || { echo "desktop-session: the command ended with $status; $desktop said:" >&2; tail -n 20 "$root/$desktop.log" >&2 || true; }
    exit "$status"
fi

if [ "$1" = --as-user ]; then
    root=$2
    shift 2
    export HOME=$root/home XDG_RUNTIME_DIR=$root/runtime KESTREL_SESSION_DIR=$root/work
    export TMPDIR=$root/work XDG_CONFIG_HOME=$root/home/.config XDG_SESSION_TYPE=wayland
    export XDG_DATA_HOME=$root/home/.local/share XDG_CACHE_HOME=$root/home/.cache
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
# KESTREL_PIPEWIRE_PID lets a test end PipeWire, as a desktop ends a screen cast.
start_pipewire() {
    pipewire >"$root/pipewire.log" 2>&1 &
    pids+=($!)
    export KESTREL_PIPEWIRE_PID=$!
    await "$XDG_RUNTIME_DIR/pipewire-0" $! PipeWire
    if [ "$desktop" != sway ]; then
        wireplumber >"$root/wireplumber.log" 2>&1 &
        pids+=($!)
    fi
}
# The desktop's own portal backends only, as its users have them: the others, installed for
# the other desktops' tests, would start here too, slowly, and answer in their place.
portals() {
    export XDG_DESKTOP_PORTAL_DIR=$root/portals
    mkdir -p "$XDG_DESKTOP_PORTAL_DIR"
    for backend in "$@"; do
        cp "/usr/share/xdg-desktop-portal/portals/$backend.portal" "$XDG_DESKTOP_PORTAL_DIR"
    done
}
# The bus starts the portal and its backends on demand, which can take many seconds on a
# loaded machine; started before the command, it answers Kestrel's start-up question at once,
# as on a desktop where it runs already.
start_portal() {
    gdbus call --session --timeout 60 --dest org.freedesktop.portal.Desktop \
        --object-path /org/freedesktop/portal/desktop \
        --method org.freedesktop.DBus.Properties.Get "org.freedesktop.portal.$1" version \
        >/dev/null || fail "the desktop portal did not start"
}
pids=()
# A compositor ends with the signal's number, which is no failure of the command's.
trap 'kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null || true' EXIT

if [ "$desktop" = kwin ]; then
    export XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true WAYLAND_DISPLAY=wayland-kestrel
    # Plasma 6 comes with Frameworks 6, whose tools carry the 6 in their names.
    if command -v kbuildsycoca6 >/dev/null; then
        export KDE_SESSION_VERSION=6
        sycoca=kbuildsycoca6
    else
        export KDE_SESSION_VERSION=5
        sycoca=kbuildsycoca5
    fi
    if [ -n "$KESTREL_KWIN_AUTHORISE" ]; then
        # KWin lets a program use the interface when the first word of a desktop entry's
        # Exec is that program's very file: an absolute path, as the installed entry has.
        # Named as the installed one: the desktop portal knows a program by the app id its
        # entry's name gives. Written before KWin starts, which reads the entries only then.
        printf '%s\n' "[Desktop Entry]" Type=Application "Name=Kestrel under test" \
            "Exec=$KESTREL_KWIN_AUTHORISE" NoDisplay=true \
            X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2 \
            >"$XDG_DATA_HOME/applications/org.ardmoor.Kestrel.desktop"
    fi
    # Before KWin: KWin 6.3 asks the bus for the desktop portal as it starts, and the bus
    # starts it with the environment it has then.
    portals kde
    dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME KDE_FULL_SESSION KDE_SESSION_VERSION \
        QT_QPA_PLATFORM=wayland XDG_DESKTOP_PORTAL_DIR
    "$sycoca" >"$root/sycoca.log" 2>&1
    # KWIN_WAYLAND_NO_PERMISSION_CHECKS opens KWin's fake input and window list to the tests;
    # it does not touch the screenshot interface's own check of the desktop entry. The generic
    # Qt theme: where no KDE platform theme is installed, Qt 6.8 and later build one of their
    # own, whose first theme change KWin 6 handles before it has a theme at all, and crashes.
    QT_QPA_PLATFORMTHEME=generic KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
        "$root/bin/kwin_wayland" --virtual --no-lockscreen \
        --width 1920 --height 1080 --output-count "$KESTREL_KWIN_OUTPUTS" \
        --socket "$WAYLAND_DISPLAY" >"$root/kwin.log" 2>&1 &
    pids+=($!)
    await "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" $! KWin
    # KWin takes its bus name once its outputs and screenshot interface are up.
    until gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.kde.KWin 2>/dev/null | grep -q true; do
        [ "$SECONDS" -lt "$deadline" ] || fail "KWin did not take its bus name"
        sleep 0.05
    done
    "$@"
    exit
fi

if [ "$desktop" = labwc ]; then
    export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        WLR_HEADLESS_OUTPUTS=2 XDG_CURRENT_DESKTOP=labwc:wlroots
    # Kestrel's window minimised, out of the pictures; Ctrl+F as the README binds it.
    binding=$(grep -m 1 '<keybind key="C-f"' "$here/../../README.md") ||
        fail "the README shows no labwc binding"
    mkdir -p "$XDG_CONFIG_HOME/labwc"
    printf '%s\n' '<?xml version="1.0"?>' '<labwc_config>' '<keyboard>' "$binding" '</keyboard>' \
        '<windowRules><windowRule identifier="org.ardmoor.Kestrel">' \
        '<action name="Iconify"/></windowRule></windowRules>' '</labwc_config>' \
        >"$XDG_CONFIG_HOME/labwc/rc.xml"
    labwc >"$root/labwc.log" 2>&1 &
    pids+=($!)
    labwc=$!
    until display=$(cd "$XDG_RUNTIME_DIR" && ls 2>/dev/null | grep -E '^wayland-[0-9]+$' | head -n 1) &&
        [ -n "$display" ]; do
        kill -0 "$labwc" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ] || fail "labwc did not start"
        sleep 0.05
    done
    export WAYLAND_DISPLAY=$display
    until wlr-randr --output HEADLESS-1 --custom-mode 1920x1080@60Hz --pos 0,0 \
        --output HEADLESS-2 --custom-mode 1920x1080@60Hz --pos -1920,0 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || fail "labwc's outputs could not be set"
        sleep 0.05
    done
    portals wlr gtk
    dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        XDG_CONFIG_HOME XDG_DESKTOP_PORTAL_DIR
    "$@"
    exit
fi

if [ "$desktop" = mutter ] || [ "$desktop" = gnome-shell ]; then
    export XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY=wayland-kestrel
    # The desktop portal (1.19 on) takes Kestrel's app id only where its desktop entry is
    # installed. The portal only reads the entry: its Exec needs a program that exists, no more.
    printf '%s\n' "[Desktop Entry]" Type=Application Name=Kestrel Exec=true NoDisplay=true \
        >"$XDG_DATA_HOME/applications/org.ardmoor.Kestrel.desktop"
    if [ "$desktop" = gnome-shell ]; then
        # The shell will not start without a system bus; a private one that lets everyone
        # do everything, with no login manager on it (the shell then makes do without).
        printf '%s\n' '<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"' \
            ' "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">' \
            '<busconfig><type>system</type>' \
            "<listen>unix:path=$root/system_bus_socket</listen><auth>EXTERNAL</auth>" \
            '<policy context="default"><allow send_destination="*" eavesdrop="true"/>' \
            '<allow eavesdrop="true"/><allow own="*"/><allow user="*"/></policy></busconfig>' \
            >"$root/system-bus.conf"
        dbus-daemon --config-file="$root/system-bus.conf" --nofork --nopidfile \
            >"$root/system-bus.log" 2>&1 &
        pids+=($!)
        await "$root/system_bus_socket" $! "the system bus"
        export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$root/system_bus_socket
    fi
    "$desktop" --headless --virtual-monitor 1920x1080 --wayland --no-x11 \
        --wayland-display "$WAYLAND_DISPLAY" >"$root/$desktop.log" 2>&1 &
    pids+=($!)
    await "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" $! "$desktop"
    # Mutter's own services on the bus, which the portal's GNOME backend uses.
    until gdbus introspect --session --dest org.gnome.Mutter.ScreenCast \
        --object-path /org/gnome/Mutter/ScreenCast >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || fail "mutter's ScreenCast did not answer"
        sleep 0.05
    done
    portals gnome gtk
    # Bare mutter has no shortcuts to give: GNOME's backend would hand Kestrel's request to
    # the settings' "Add Keyboard Shortcuts" dialog, installed for the shell's tests, which
    # no desktop without the shell shows.
    if [ "$desktop" = mutter ]; then
        sed -i 's/org\.freedesktop\.impl\.portal\.GlobalShortcuts;//' \
            "$XDG_DESKTOP_PORTAL_DIR/gnome.portal"
    fi
    dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        XDG_CONFIG_HOME XDG_DESKTOP_PORTAL_DIR
    start_pipewire
    start_portal ScreenCast
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
portals wlr gtk
dbus-update-activation-environment WAYLAND_DISPLAY SWAYSOCK XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE XDG_CONFIG_HOME XDG_DESKTOP_PORTAL_DIR
if [ "${KESTREL_SWAY_PIPEWIRE:-}" = 1 ]; then
    start_pipewire
    start_portal Screenshot
fi
# The IPC answers once sway's configuration is loaded.
until swaymsg -t get_version >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || fail "sway's IPC did not answer"
    sleep 0.05
done
"$@"
