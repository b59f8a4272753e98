# Shared by the package checks: failing with a reason, finding and unpacking the .deb,
# checking a capture; and, from scripts/lib/session.sh, waiting with a deadline, a private
# X server and a private home.

. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/session.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

# CTest counts exit code 77 as skipped (SKIP_RETURN_CODE).
skip() { echo "SKIPPED: $*"; exit 77; }

# The .deb to check: $1 is either the .deb itself or the folder that the package.build
# fixture filled, which must hold exactly one.
find_deb() {
    local where=$1 debs
    if [ -f "$where" ]; then
        realpath "$where"
        return
    fi
    shopt -s nullglob
    debs=("$where"/kestrel_*.deb)
    shopt -u nullglob
    [ ${#debs[@]} -eq 1 ] || fail "expected one kestrel_*.deb in $where, found ${#debs[@]}"
    realpath "${debs[0]}"
}

# Unpacks the .deb's files into a new folder and prints that folder.
unpack_deb() {
    local root
    root=$(mktemp -d /tmp/kestrel-deb.XXXXXX)
    dpkg-deb -x "$1" "$root" || fail "dpkg-deb cannot unpack $1"
    echo "$root"
}

# Checks that a file is an uncompressed 24-bit BMP of WIDTH x HEIGHT, complete: the
# size in its header is the file's size and holds every row.
check_bmp() {
    local file=$1 width=$2 height=$3 magic size declared w h bpp compression rows
    magic=$(head -c 2 "$file")
    [ "$magic" = BM ] || fail "$file is not a BMP (starts with '$magic')"
    u32() { od -An -t u4 -j "$1" -N 4 "$file" | tr -d ' '; }
    i32() { od -An -t d4 -j "$1" -N 4 "$file" | tr -d ' '; }
    size=$(stat -c %s "$file")
    declared=$(u32 2)
    w=$(i32 18)
    h=$(i32 22)
    bpp=$(od -An -t u2 -j 28 -N 2 "$file" | tr -d ' ')
    compression=$(u32 30)
    [ "$declared" = "$size" ] || fail "$file: header says $declared bytes, file has $size"
    [ "$w" = "$width" ] && [ "${h#-}" = "$height" ] || fail "$file is ${w}x${h}, not ${width}x${height}"
    [ "$bpp" = 24 ] && [ "$compression" = 0 ] || fail "$file: $bpp bits, compression $compression"
    rows=$(( (width * 3 + 3) / 4 * 4 * height ))
    [ $(( size - $(u32 10) )) -ge "$rows" ] || fail "$file holds fewer than $height rows of pixels"
}
