#!/usr/bin/env bash
# Kestrel without X11: configures and builds the Linux program and the tests that need no
# X server in build-nox11/ with -DKESTREL_X11=OFF, runs them, and checks that nothing of
# X11 went in: no file of the build includes an XCB or X11 header (the compiler's own record
# of every header each file read), and the program needs no libxcb.
#   bash scripts/check-nox11.sh
set -euo pipefail
cd "$(dirname "$0")/.."
werror=OFF
[ -n "${CI:-}" ] && werror=ON
cmake -S . -B build-nox11 -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_X11=OFF \
    -DKESTREL_BUILD_BENCH=OFF -DKESTREL_WERROR="$werror" >/dev/null
cmake --build build-nox11 -j2

status=0
if headers=$(ninja -C build-nox11 -t deps | grep -E '/(xcb|X11)/' | sort -u) && [ -n "$headers" ]; then
    echo "check-nox11: the build without X11 read these headers:" >&2
    echo "$headers" >&2
    status=1
fi
if readelf -d build-nox11/kestrel | grep -E 'NEEDED.*libxcb'; then
    echo "check-nox11: the program without X11 needs libxcb" >&2
    status=1
fi
ctest --test-dir build-nox11 -j2 --output-on-failure || status=1
[ "$status" = 0 ] && echo "check-nox11: built and tested without X11; no XCB or X11 header read"
exit "$status"
