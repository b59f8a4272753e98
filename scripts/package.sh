#!/usr/bin/env bash
# Builds Kestrel's Debian package and prints its path: installs what is missing, makes a
# Release build in build-package/ with Debian's hardening flags, and packs it with CPack.
# Extra arguments go to CMake, e.g. -DKESTREL_MAKER_HOST=www.example.org.
#
#   bash scripts/package.sh [-DNAME=VALUE ...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
dir=$root/build-package
log=$dir/package.log

bash scripts/install-deps.sh
mkdir -p "$dir"
: >"$log"

# Runs one step with its output in the log, shown only when the step fails.
step() {
    local what=$1; shift
    echo "package: $what" >&2
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "package: $what failed (the whole log: $log)" >&2
        exit 1
    fi
}

# The flags Debian's own packages are built with, every hardening option on (fortify,
# stack protector, RELRO, BIND_NOW), given on each configure so they never go stale.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

step "configuring a Release build in build-package/" \
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
        -DCMAKE_INSTALL_PREFIX=/usr -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF "$@"
step "building (-j2)" cmake --build "$dir" -j2
rm -f "$dir"/kestrel_*.deb
step "packing with CPack" cpack --config "$dir/CPackConfig.cmake" -B "$dir"

debs=("$dir"/kestrel_*.deb)
[ -f "${debs[0]}" ] || { echo "package: CPack made no .deb (log: $log)" >&2; exit 1; }
echo "${debs[0]}"
