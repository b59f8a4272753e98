#!/usr/bin/env bash
# Runs a Windows test program under Wine on a private 8-bit Xvfb, a 256-colour palette
# display, so the grab's palette path runs for real. The Wine server may already run on
# another display: the display is the program's own.
#   run-on-palette-display.sh WINE-RUN PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
wine_run=$1
shift
log=$(mktemp)
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 1024x768x8 -nolisten tcp -noreset >"$log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -f "$log"' EXIT
if ! read -r -t 20 -u "$fd" number; then
    echo "run-on-palette-display: Xvfb did not start:" >&2
    cat "$log" >&2
    exit 1
fi
exec {fd}<&-
WINE_TEST_DISPLAY=":$number" "$wine_run" "$@"
