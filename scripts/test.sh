#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Each test that needs a display
# starts its own private Xvfb, so this works with or without a desktop.
#   bash scripts/test.sh [--sanitize] [ctest arguments...]
# --sanitize builds in build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs the suite there, all but the .deb checks (a package of a sanitized program means
# nothing) and the soak (the sanitizer's quarantine of freed memory grows by design).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  shift
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j2
  ctest --preset asan -j2 -LE '^(package|soak)$' "$@"
  exit
fi
bash scripts/build.sh
preset=default
[ -n "${CI:-}" ] && preset=ci
ctest --preset "$preset" -j2 "$@"
