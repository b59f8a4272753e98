#!/usr/bin/env bash
# Takes a PNG picture of each of Kestrel's three windows, as a user sees them under a
# window manager with a task bar (IceWM, which draws exactly the title-bar boxes a window
# asks for), and saves them in docs/: main-window.png, config-dialog.png,
# about-window.png, and desktop.png with all three and the task bar. Runs the built
# program on a private Xvfb with a private HOME and settings, and opens the dialogs by
# clicking the main window's buttons.
#
#   scripts/screenshots.sh [path/to/kestrel]    (default: build/kestrel)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$here/build/kestrel}
out=$here/docs
for tool in Xvfb icewm xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$binary" ] || { echo "screenshots: no program at $binary (build it first)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to ten seconds for a command to succeed.
wait_for() {
    for _ in $(seq 100); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    echo "screenshots: gave up waiting for: $*" >&2
    return 1
}

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 number <&"$fd" || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"

mkdir -p "$work/home/Pictures" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION
# A settings file with the hot key wanted, so the main window shows its usual caption.
printf '[Settings]\nUseHotkey=1\n' >"$XDG_CONFIG_HOME/Kestrel.conf"

icewm >"$work/icewm.log" 2>&1 &
pids+=($!)
# The window manager claims the screen and lists its clients once it manages windows.
wm_ready() { xprop -root _NET_CLIENT_LIST | grep -q '^_NET_CLIENT_LIST('; }
wait_for wm_ready

"$binary" >"$work/kestrel.log" 2>&1 &
pids+=($!)

window_of() { xdotool search --onlyvisible --name "^$1\$" | head -n1; }

# Clicks at a point of the main window's client area, in pixels.
click_main() {
    local main=$1 x=$2 y=$3
    xdotool mousemove --window "$main" "$x" "$y" click 1
}

snap() {
    local id=$1 file=$2
    xdotool mousemove 1023 767  # keep the pointer off the windows
    sleep 0.3                   # let the last repaint land
    import -display "$DISPLAY" -window "$id" -frame "$out/$file"
    echo "screenshots: $out/$file"
}

wait_for window_of "Screen Capture Utility"
main=$(window_of "Screen Capture Utility")
xdotool windowmove "$main" 40 40
snap "$main" main-window.png

click_main "$main" 180 112   # Configure
wait_for window_of "Screen Capture Configuration"
config=$(window_of "Screen Capture Configuration")
xdotool windowmove "$config" 480 40
snap "$config" config-dialog.png

click_main "$main" 252 112   # About
wait_for window_of "About Screen Capture Utility"
about=$(window_of "About Screen Capture Utility")
snap "$about" about-window.png

# The whole screen: the task bar lists the main window and the dialog, not the About window.
xdotool mousemove 1023 767
import -display "$DISPLAY" -window root "$out/desktop.png"
echo "screenshots: $out/desktop.png"
