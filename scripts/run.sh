#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrel in the current Wayland session or on
# the current X display. Without either it gives a demonstration on a private virtual
# display instead: captures
# by each of the three triggers (Ctrl+F, the Make Capture Now button, the timer), then the
# files saved, their sizes, and a picture of the main window. Every wait has a deadline,
# and the virtual display and Kestrel end with the script, however it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/lib/session.sh
bash scripts/install-deps.sh

build_dir=$root/build
[ -n "${CI:-}" ] && build_dir=$root/build-ci
build_log=$(mktemp /tmp/kestrel-build.XXXXXX.log)
echo "Building Kestrel in ${build_dir#"$root"/}/ ..." >&2
if ! bash scripts/build.sh >"$build_log" 2>&1; then
    tail -n 40 "$build_log" >&2
    echo "The build failed; the whole log is $build_log" >&2
    exit 1
fi
rm -f "$build_log"
binary=$build_dir/kestrel

wayland_socket=${WAYLAND_DISPLAY:-}
[ -n "$wayland_socket" ] && [ "${wayland_socket#/}" = "$wayland_socket" ] &&
    wayland_socket=${XDG_RUNTIME_DIR:-}/$wayland_socket
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ -S "$wayland_socket" ]; then
    exec "$binary"
fi
if [ -n "${DISPLAY:-}" ] && timeout 10 xdpyinfo >/dev/null 2>&1; then
    exec "$binary"
fi

# --- The demonstration -------------------------------------------------------------

demo=$(mktemp -d /tmp/kestrel-demo.XXXXXX)
started=$(date +%s%N)
say() {
    local ms=$(( ($(date +%s%N) - started) / 1000000 ))
    printf '[%3d.%ds] %s\n' $((ms / 1000)) $((ms % 1000 / 100)) "$*"
}
die() { echo "Demonstration stopped: $*" >&2; exit 1; }

kestrel_pid= XVFB_PID=
cleanup() {
    stop_process "$kestrel_pid"
    stop_process "$XVFB_PID"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "No X display here: demonstrating Kestrel on a private virtual display."
private_home "$demo"
pictures=$HOME/Pictures
settings=$XDG_CONFIG_HOME/Kestrel.conf

start_xvfb "$demo/xvfb.log" || die "Xvfb did not start within 20 s (see $demo/xvfb.log)"
say "virtual display $DISPLAY, 1024x768; private home $HOME"

main_window() { xdotool search --onlyvisible --name '^Screen Capture Utility$' | head -n1; }

# Starts Kestrel and waits for its main window; sets kestrel_pid and window.
start_kestrel() {
    "$binary" >>"$demo/kestrel.log" 2>&1 &
    kestrel_pid=$!
    if ! wait_until 30 main_window; then
        cat "$demo/kestrel.log" >&2
        die "Kestrel's main window did not appear within 30 s"
    fi
    window=$(main_window)
}

count_files() { find "$pictures" -name '*.bmp' | wc -l; }
newest_file() { find "$pictures" -name '*.bmp' -printf '%T@ %P\n' | sort -n | tail -n1 | cut -d' ' -f2-; }
has_more_than() { [ "$(count_files)" -gt "$1" ]; }

# Waits for the capture that a trigger just caused and names it.
expect_capture() {
    local trigger=$1 before=$2
    wait_until 10 has_more_than "$before" || die "no capture within 10 s after $trigger"
    say "$trigger -> $(newest_file)"
}

printf '[Settings]\nUseHotkey=1\nUseTimer=0\n' >"$settings"
say "starting Kestrel with the hot key on (settings: $settings)"
start_kestrel
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
say "main window $window is up, $geometry pixels"

for _ in 1 2 3; do
    before=$(count_files)
    timeout 10 xdotool key ctrl+f
    expect_capture "Ctrl+F" "$before"
done

# The button sits at (16,96), 121x33, in the 418x142 client area; its centre is scaled to
# the window's actual size in case the display scales Kestrel's layout.
width=${geometry%x*} height=${geometry#*x}
button_x=$(( (16 + 121 / 2) * width / 418 )) button_y=$(( (96 + 33 / 2) * height / 142 ))
for _ in 1 2 3; do
    before=$(count_files)
    timeout 10 xdotool mousemove --window "$window" "$button_x" "$button_y" click 1
    expect_capture "click on Make Capture Now" "$before"
done

screenshot=$demo/main-window.png
timeout 20 import -window "$window" "$screenshot" || die "could not take a picture of the main window"
say "picture of the main window: $screenshot"

stop_process "$kestrel_pid"
kestrel_pid=
first_dir=$(basename "$(dirname "$pictures/$(newest_file)")")
# A capture directory is named after its start's second; the next start must be in a
# later one, or both runs would share a directory name.
later_second() { [ "KESTREL_$(date +%d%m%Y_%H%M%S)" != "$first_dir" ]; }
wait_until 3 later_second || die "the clock does not move"

printf '[Settings]\nUseHotkey=1\nUseTimer=1\nTimerPeriod=1\n' >"$settings"
say "starting Kestrel again with the timer on, every second"
start_kestrel
for _ in 1 2 3; do
    before=$(count_files)
    expect_capture "timer" "$before"
done
stop_process "$kestrel_pid"
kestrel_pid=
stop_process "$XVFB_PID"
XVFB_PID=
say "Kestrel and the virtual display have ended"

echo
echo "Captures, under $pictures:"
for dir in "$pictures"/KESTREL_*/; do
    echo "  $(basename "$dir")/"
    find "$dir" -name '*.bmp' -printf '%f %s\n' | sort -n -t- -k1,1 \
        | while read -r name size; do printf '    %-26s %9d bytes\n' "$name" "$size"; done
done
sample=$(find "$pictures" -name '*.bmp' | head -n1)
echo "  each one: $(file -b "$sample")"
echo "Picture of the main window: $screenshot ($(identify -format '%wx%h' "$screenshot") pixels)"
echo "Settings Kestrel wrote: $settings"
sed 's/^/    /' "$settings"
if [ -s "$demo/kestrel.log" ]; then
    echo "Kestrel reported:"
    sed 's/^/    /' "$demo/kestrel.log"
fi
echo "Everything stays in $demo; delete that folder when done."
