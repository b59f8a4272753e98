#!/usr/bin/env bash
# Builds what a Windows user downloads and prints the two paths: installs what is missing,
# builds kestrel.exe with the `windows` preset (build-windows/), and makes in
# build-windows/dist/ kestrel-<version>-win64.zip (kestrel.exe stripped, README.txt,
# LICENSE.txt) and kestrel-<version>-win64-setup.exe (NSIS, packaging/windows/kestrel.nsi).
# A folder given as the argument gets copies of both.
#
#   bash scripts/package-windows.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-windows
[ $# -le 1 ] || { echo "usage: package-windows.sh [FOLDER]" >&2; exit 2; }

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
# The program and the two packages only; the test programs are scripts/test-windows.sh's.
cmake --build --preset windows --target kestrel_package

# The version the build was configured with (CMakeLists.txt's project()), so the names
# never drift from it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package-windows: no project version in $build/CMakeCache.txt" >&2; exit 1; }
made=("$build/dist/kestrel-$version-win64.zip" "$build/dist/kestrel-$version-win64-setup.exe")
for file in "${made[@]}"; do
    [ -f "$file" ] || { echo "package-windows: $file was not made" >&2; exit 1; }
done

if [ $# -eq 1 ]; then
    mkdir -p "$1"
    cp "${made[@]}" "$1"/
    dir=$(cd "$1" && pwd)
    made=("$dir/${made[0]##*/}" "$dir/${made[1]##*/}")
fi
printf '%s\n' "${made[@]}"
