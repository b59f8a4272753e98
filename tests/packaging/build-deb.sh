#!/usr/bin/env bash
# Packs the program of an already built tree into a .deb with CPack, once per test run,
# for the other package checks: no second compile, only the install rules, the strip,
# the dependency scan and the compression.
#
#   build-deb.sh BUILD_DIR OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
build=$1 out=$2

[ -f "$build/CPackConfig.cmake" ] || fail "no CPackConfig.cmake in $build: configure it first"
rm -rf "$out"
mkdir -p "$out"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log" >&2
    fail "cpack did not make the package"
fi
deb=$(find_deb "$out")
echo "built $deb ($(stat -c %s "$deb") bytes)"
