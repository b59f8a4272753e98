#!/usr/bin/env bash
# The long soak: the built program with its timer at 0.01 s, the pointer moved and Ctrl+F
# (or the capture action) at random moments, for the given number of captures (10,000 unless
# given) on each desktop: X11 (Xvfb), sway, and mutter's screen cast, each Wayland one in a
# headless session of its own (tests/wayland/desktop-session.sh). Every capture is checked and
# removed as it appears. Prints each run's figures (captures, time per capture, memory,
# descriptors, shared memory, X resources, processor time per capture) and fails on a lost or
# damaged capture, on growth after warm-up, or on a run not done within its time (a minute
# per 1,000 captures, at least 10).
#   bash scripts/soak.sh [captures]
# KESTREL_BUILD_DIR runs it from an existing build tree instead of building build/.
set -euo pipefail
cd "$(dirname "$0")/.."
captures="${1:-10000}"
if ! [[ "$captures" =~ ^[0-9]+$ ]] || [ "$captures" -lt 100 ]; then
  echo "usage: bash scripts/soak.sh [captures, 100 or more]" >&2
  exit 2
fi
build="${KESTREL_BUILD_DIR:-}"
if [ -z "$build" ]; then
  bash scripts/install-deps.sh
  bash scripts/build.sh
  build=build
  [ -n "${CI:-}" ] && build=build-ci
else
  cmake --build "$build" -j2 --target kestrel soak_tests
fi
soak="$(cd "$build" && pwd)/soak_tests"
export KESTREL_SOAK_CAPTURES="$captures"
failed=()
"$soak" --gtest_filter='*/x11' || failed+=(x11)
# Without the Wayland backend the Wayland runs are not built in, and their filters match nothing.
for desktop in sway mutter; do
  bash tests/wayland/desktop-session.sh "$desktop" "$soak" --gtest_filter="*/$desktop" ||
    failed+=("$desktop")
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "soak: failed on ${failed[*]}" >&2
  exit 1
fi
