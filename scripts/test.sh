#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Each test that needs a display
# starts its own private Xvfb, so this works with or without a desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
preset=default
[ -n "${CI:-}" ] && preset=ci
ctest --preset "$preset" -j2 "$@"
