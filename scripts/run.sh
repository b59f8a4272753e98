#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrel on the current X display. Without
# one it starts a private virtual display and shows a short demonstration: Kestrel with
# the hot key on (in a private configuration), Ctrl+F pressed a few times, and the
# captures it saved.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
binary="$PWD/build/kestrel"
[ -n "${CI:-}" ] && binary="$PWD/build-ci/kestrel"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$binary"
fi

echo "No X display here: demonstrating Kestrel on a private virtual display."
demo=$(mktemp -d /tmp/kestrel-demo.XXXXXX)
mkdir -p "$demo/home/Pictures" "$demo/config" "$demo/runtime"
chmod 700 "$demo/runtime"
cleanup() {
  [ -n "${kestrel_pid:-}" ] && kill "$kestrel_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 -u "$fd" number || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number" HOME="$demo/home" XDG_CONFIG_HOME="$demo/config" \
       XDG_RUNTIME_DIR="$demo/runtime" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
printf '[Settings]\nUseHotkey=1\n' > "$demo/config/Kestrel.conf"
echo "  virtual display $DISPLAY, private home $HOME"

"$binary" 2>"$demo/kestrel-stderr.txt" &
kestrel_pid=$!
echo "  started Kestrel (pid $kestrel_pid)"
if ! xdotool search --sync --onlyvisible --name "Screen Capture Utility" >/dev/null 2>&1; then
  echo "Kestrel's window did not appear" >&2; cat "$demo/kestrel-stderr.txt" >&2; exit 1
fi
echo "  its window is up; pressing Ctrl+F three times"
for i in 1 2 3; do xdotool key ctrl+f; done

# Wait for the three captures, up to ten seconds.
for _ in $(seq 100); do
  n=$(find "$HOME/Pictures" -name '*.bmp' | wc -l)
  [ "$n" -ge 3 ] && break
  read -r -t 0.1 <> <(:) || true
done
echo "  saved:"
find "$HOME/Pictures" -name '*.bmp' -printf '    %p  (%s bytes)\n' | sort
echo "  settings: $demo/config/Kestrel.conf"
sed 's/^/    /' "$demo/config/Kestrel.conf"
[ -s "$demo/kestrel-stderr.txt" ] && { echo "  Kestrel reported:"; sed 's/^/    /' "$demo/kestrel-stderr.txt"; }
echo "Done. The demonstration's files stay in $demo."
