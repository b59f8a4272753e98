#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: the test emulator of the Windows
# build (cmake/mingw-w64-x86_64.cmake), so CTest and gtest_discover_tests run .exe files
# as if they were native. The exit status is the program's.
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
# shellcheck source=scripts/lib/wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/wine.sh"
wine_environment "$1"
shift
wine_start
exec "$WINE" "$@"
