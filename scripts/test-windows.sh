#!/usr/bin/env bash
# Cross-builds the core and its tests for Windows in build-windows/ with mingw-w64 and
# runs them under Wine, in a Wine prefix of that build's own. No display needed.
#   bash scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# shellcheck source=scripts/lib/wine.sh
source scripts/lib/wine.sh

cmake --preset windows >/dev/null
cmake --build --preset windows

# The server and its helpers first, detached, so that no Wine process outlives a test
# holding CTest's output pipe; and all of them ended with the run.
(
    wine_environment "$PWD/build-windows/wineprefix"
    wine_start
)
trap '(wine_environment "$PWD/build-windows/wineprefix"; wine_stop)' EXIT
timeout -k 10 1200 ctest --preset windows "$@"
