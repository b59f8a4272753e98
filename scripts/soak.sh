#!/usr/bin/env bash
# The long soak: the built program on Xvfb with its timer at 0.05 s and Ctrl+F pressed at
# random moments for the given number of minutes (10 unless given), every capture checked
# and removed as it appears; prints the figures (captures, memory, X resources, processor
# time per capture) and fails on a lost or damaged capture or on growth after warm-up.
#   bash scripts/soak.sh [minutes]
# KESTREL_BUILD_DIR runs it from an existing build tree instead of building build/.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-10}"
if ! [[ "$minutes" =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
  echo "usage: bash scripts/soak.sh [minutes]" >&2
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
KESTREL_SOAK_SECONDS=$((minutes * 60)) "$build/soak_tests"
