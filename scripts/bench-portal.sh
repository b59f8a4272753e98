#!/usr/bin/env bash
# Kestrel's capture on GNOME and KDE Plasma, on request only (never part of a test run):
# builds kestrel_bench_portal and the program, measures under a private headless mutter
# (the ScreenCast portal's stream, and the program's processor time while the screen
# changes) and under a private headless KWin (ScreenShot2), both at 1920x1080 and through
# tests/wayland/desktop-session.sh, and writes the figures to bench/results-portal.md.
#
#   bash scripts/bench-portal.sh [--captures N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target kestrel kestrel_bench_portal wayland_show_picture

RESULTS=bench/results-portal.md
command="scripts/bench-portal.sh${*:+ $*}"
bench=$PWD/build/kestrel_bench_portal
picture=$PWD/build/wayland_show_picture
gnome=$(mktemp)
kwin=$(mktemp)
trap 'rm -f "$gnome" "$kwin"' EXIT
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
status=0
bash tests/wayland/desktop-session.sh mutter "$bench" gnome --picture-program "$picture" \
    --kestrel "$PWD/build/kestrel" "$@" >"$gnome" || status=$?
KESTREL_KWIN_AUTHORISE=$bench bash tests/wayland/desktop-session.sh kwin "$bench" kwin \
    --picture-program "$picture" "$@" >"$kwin" || status=$?
{
    echo "# Capture benchmark on GNOME and KDE Plasma (informative)"
    echo
    echo "Beside results.md (X11) and results-wayland.md (sway): the same busy picture and"
    echo "output size, shown full screen by a window of the tests' own."
    echo
    echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); $(mutter --version | head -n1); KWin $(dpkg-query -W -f='${Version}' kwin-wayland)"
    echo "- Load average (1, 5, 15 min) before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "- Command: \`$command\`"
    echo
    echo "| Desktop and screen source | Screen | Kestrel per capture ms median / p90 (targets: ScreenCast 20 with a running stream, ScreenShot2 400) | PSNR dB (target 50) |"
    echo "|---|---|---:|---:|"
    grep '^| ' "$gnome" || echo "| GNOME: the benchmark failed | | | |"
    grep '^| ' "$kwin" || echo "| KDE Plasma: the benchmark failed | | | |"
    grep '^Idle' "$gnome" | sed 's/^/\n/' || true
    echo
    echo "- Per capture: the core's MakeCapture with the backend installed, as the program"
    echo "  runs it: the primary output, the grab at 800 x 600 by the area average, the BMP"
    echo "  written all or nothing; the pointer is not asked. Median and 90th percentile."
    echo "- GNOME: the portal's stream runs for the whole run and the capture scales the newest"
    echo "  frame it holds, without a copy and without asking mutter for a new one; mutter"
    echo "  sends frames only when the screen changes. The grant is made once in the chooser,"
    echo "  answered through mutter's remote desktop, and restored from the kept token for"
    echo "  the idle run. Running rather than paused between captures, by these figures: a"
    echo "  paused stream must be resumed for a fresh frame at each capture (about 180 ms on"
    echo "  this mutter), while the running one costs the idle program the time above."
    echo "- KDE Plasma: each capture asks KWin for a picture of the output and reads it from"
    echo "  a pipe."
    echo "- Idle: the built program's processor time over 10 s with its stream running while"
    echo "  a 64 x 64 corner of the screen changes at every frame (60 a second)."
} >"$RESULTS"
cat "$RESULTS"
echo "written to $RESULTS" >&2
exit "$status"
