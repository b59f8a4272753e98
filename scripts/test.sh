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
# The tests a run of a build folder failed, named on one line that CI's summary picks up,
# and below it what each said from its first failure on (at most 30 lines, each cut at 240
# characters), or its last 10 lines where nothing reads as a failure: the summary is the
# part of a long run's output that stays in view.
say_failed() {
  local log=$1/Testing/Temporary/LastTestsFailed.log
  [ -s "$log" ] || return 0
  echo "test: failed in $1: $(cut -d: -f2- "$log" | tr '\n' ' ')" >&2
  [ -s "$1/Testing/Temporary/LastTest.log" ] || return 0
  cut -d: -f2- "$log" | awk '
    FNR == NR { failed[$0] = 1; next }
    /^[0-9]+\/[0-9]+ Test: / { name = ($3 in failed) ? $3 : ""; n = lines = out = from = 0; next }
    /^Output:$/ { out = 1; getline; next }
    /^<end of output>$/ { out = 0; next }
    out && !from && /Failure$|FAILED|Sanitizer|runtime error|^desktop-session:|[Tt]imeout/ { from = 1 }
    out && from && n < 30 { kept[n++] = substr($0, 1, 240) }
    out { last[lines++ % 10] = substr($0, 1, 240) }
    /^Test Failed\./ && name != "" {
      print "test:   " name ":"
      for (i = 0; i < n; i++) print "test:     " kept[i]
      # Nothing that reads as a failure (a test that ran out of time): its last lines.
      for (i = (lines > 10 ? lines - 10 : 0); n == 0 && i < lines; i++) print "test:     " last[i % 10]
      delete failed[name]
      name = ""
    }' - "$1/Testing/Temporary/LastTest.log" >&2
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
[ "$preset" = ci ] && build="build-ci"
ctest --preset "$preset" -j2 "$@" || { status=$?; say_failed "$build"; }
# The same program without X11, where a session has no backend for it yet.
bash scripts/check-nox11.sh || { status=$?; say_failed build-nox11; }
# The core and its tests again, cross-built for Windows and run under Wine, whatever the
# Linux suite's outcome; the run fails if either does.
bash scripts/test-windows.sh "$@" || { status=$?; say_failed build-windows; }
exit "$status"
