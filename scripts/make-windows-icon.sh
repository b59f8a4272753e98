#!/usr/bin/env bash
# Renders kestrel.exe's icon from the program's SVG: one image each at 16, 24, 32 and
# 48 px, and a PNG-compressed one at 256 px, as Windows' shell and task bar look for.
# The Windows build runs it; by hand:
#   bash scripts/make-windows-icon.sh packaging/org.ardmoor.Kestrel.svg kestrel.ico
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: make-windows-icon.sh ICON.svg OUTPUT.ico" >&2
    exit 2
fi
svg=$1
ico=$2
for tool in rsvg-convert icotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "make-windows-icon: $tool not found (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 24 32 48 256; do
    rsvg-convert --width "$size" --height "$size" --format png --output "$work/$size.png" "$svg"
done
# Written beside the output and moved over it: a build stopped half-way leaves no partial icon.
icotool --create --output "$ico.part" "$work/16.png" "$work/24.png" "$work/32.png" \
    "$work/48.png" --raw="$work/256.png"
mv "$ico.part" "$ico"
