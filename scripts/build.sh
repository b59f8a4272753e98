#!/usr/bin/env bash
# Configures and builds Kestrel and its tests in build/ (build-ci/ under CI, where
# warnings are errors).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
[ -n "${CI:-}" ] && preset=ci
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j2
