#!/usr/bin/env bash
# Kestrel under valgrind's memcheck for one start, one Ctrl+F capture and a quit from its
# Quit button, on a private Xvfb with private settings: fails on any invalid read or write,
# use of uninitialised memory, bad free, or on memory definitely lost by Kestrel's own code.
#   bash tests/valgrind/memcheck.sh path/to/kestrel      (KEEP=1 keeps the log and files)
set -euo pipefail
kestrel="$1"
here="$(cd "$(dirname "$0")" && pwd)"
command -v valgrind >/dev/null || { echo "valgrind is not installed"; exit 77; }

work=$(mktemp -d)
xvfb=""
valgrind_pid=""
cleanup() {
  [ -n "$valgrind_pid" ] && kill -9 "$valgrind_pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  [ -n "${KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command in the other arguments to succeed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

mkfifo "$work/displayfd"
exec 3<>"$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
read -r -t 20 number <&3 || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$number"

mkdir -p "$work/home/Pictures" "$work/config" "$work/cache" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
printf '[Settings]\nUseHotkey=1\n' >"$work/config/Kestrel.conf"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE XAUTHORITY
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
  XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_DIRS="$work/etc-xdg" \
  QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8

log="$work/memcheck.log"
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --num-callers=40 --track-origins=yes \
  --child-silent-after-fork=yes \
  --suppressions="$here/kestrel.supp" --log-file="$log" "$kestrel" 2>"$work/stderr.txt" &
valgrind_pid=$!

title="Screen Capture Utility"
window_id() { xdotool search --name "^$title\$" 2>/dev/null | head -1; }
has_window() { test -n "$(window_id)"; }
if ! wait_for 120 has_window; then
  echo "no main window"; cat "$work/stderr.txt"; exit 1
fi
captures() { find "$work/home/Pictures" -name '*.bmp' | wc -l; }
has_capture() { test "$(captures)" -ge 1; }
xdotool key ctrl+f
if ! wait_for 60 has_capture; then
  echo "no capture after Ctrl+F"; cat "$work/stderr.txt"; exit 1
fi
# The Quit button's middle, from its place in twips (5280, 1440, 735 x 495) at 15 to the pixel.
xdotool mousemove --window "$(window_id)" 376 112 click 1
status=0
wait "$valgrind_pid" || status=$?
valgrind_pid=""

echo "kestrel exit status $status; $(captures) capture(s)"
grep -E "ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:|suppressed:" "$log" |
  sed 's/^==[0-9]*== *//'
if grep -q "ERROR SUMMARY: 0 errors" "$log" && [ "$status" -eq 0 ]; then
  exit 0
fi
cat "$log"
exit 1
