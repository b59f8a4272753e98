#!/usr/bin/env bash
# Kestrel's capture in a Wayland session, on request only (never part of a test run): builds
# kestrel_bench_wayland and the program, starts a private headless sway
# (tests/wayland/desktop-session.sh) and measures there at 1920x1080 and 3840x2160, writing the
# figures to bench/results-wayland.md.
#
#   bash scripts/bench-wayland.sh [--captures N] [--peer-runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --bench
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target kestrel kestrel_bench_wayland

RESULTS=bench/results-wayland.md
command="scripts/bench-wayland.sh${*:+ $*}"
table=$(mktemp)
trap 'rm -f "$table"' EXIT
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
status=0
bash tests/wayland/desktop-session.sh sway "$PWD/build/kestrel_bench_wayland" --kestrel "$PWD/build/kestrel" \
    "$@" 1920x1080 3840x2160 >"$table" || status=$?
grep -q '^| ' "$table" || { echo "bench-wayland: the benchmark failed" >&2; exit 1; }
{
    echo "# Capture benchmark in a Wayland session (informative)"
    echo
    echo "Beside the X11 figures in results.md: the same busy picture and output size, on a"
    echo "headless sway, where the compositor copies its next frame to the program."
    echo
    echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); $(sway --version)"
    echo "- Load average (1, 5, 15 min) before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "- Command: \`$command\`"
    echo "- Output HEADLESS-1 at 60 Hz in each size, showing the busy picture through swaybg,"
    echo "  checked pixel for pixel with grim before the captures"
    echo
    cat "$table"
    echo
    echo "- Per capture: the core's MakeCapture with the Wayland backend installed, as the"
    echo "  program runs it: the primary output, the pointer (unknown here, as the headless"
    echo "  seat has no pointer device, so the overlay is not put up), ext-image-copy-capture"
    echo "  and wlr-screencopy in turn where sway offers them, each copying the next frame"
    echo "  into the buffer kept for the run, the area average, the BMP written"
    echo "  all or nothing. Median and 90th percentile."
    echo "- The peer, as a whole process each time: \`grim -t ppm - | convert ppm:- -resize"
    echo "  800x600! bmp3:out.bmp\`. Median."
    echo "- Memory: this process's resident size before the captures and its peak after them."
    echo "  The peak holds the frame the compositor copies into, a whole output of 32-bit"
    echo "  pixels (8 MB at 1920x1080, 33 MB at 3840x2160): wlr-screencopy copies whole"
    echo "  frames, and copying a region at a time would cost a frame's wait per region."
    echo "- Idle: the built program's processor time over 5 s with Ctrl+F bound in sway."
} >"$RESULTS"
cat "$RESULTS"
echo "written to $RESULTS" >&2
exit "$status"
