#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Each test that needs a display
# starts its own private Xvfb, so this works with or without a desktop. Then the program
# built without X11 (scripts/check-nox11.sh), and the core's tests as Windows programs
# under Wine (scripts/test-windows.sh).
#   bash scripts/test.sh [--sanitize] [ctest arguments...]
# --sanitize builds in build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the suite there, all but the .deb checks (a package of a sanitized program means
# nothing) and the soak (the sanitizer's quarantine of freed memory grows by design).
set -euo pipefail
cd "$(dirname "$0")/.."
# The tests a run of a build folder failed, named on one line that CI's summary picks up.
say_failed() {
  local log=$1/Testing/Temporary/LastTestsFailed.log
  [ -s "$log" ] && echo "test: failed in $1: $(cut -d: -f2- "$log" | tr '\n' ' ')" >&2
  return 0
}
bash scripts/install-deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  shift
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j2
  status=0
  ctest --preset asan -j2 -LE '^(package|soak)$' "$@" || { status=$?; say_failed build-asan; }
  exit "$status"
fi
bash scripts/build.sh
preset=default
[ -n "${CI:-}" ] && preset=ci
status=0
build=build
[ "$preset" = ci ] && build=build-ci
ctest --preset "$preset" -j2 "$@" || { status=$?; say_failed "$build"; }
# The same program without X11, where a session has no backend for it yet.
bash scripts/check-nox11.sh || { status=$?; say_failed build-nox11; }
# The core and its tests again, cross-built for Windows and run under Wine, whatever the
# Linux suite's outcome; the run fails if either does.
bash scripts/test-windows.sh "$@" || { status=$?; say_failed build-windows; }
exit "$status"
