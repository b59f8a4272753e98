# Shared by the package checks: failing with a reason, finding and unpacking the .deb,
# waiting on a condition with a deadline, a private X server and a private home.

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

# Runs a command every 0.1 s until it succeeds or SECONDS have passed; 1 on time-out.
wait_until() {
    local seconds=$1 deadline
    shift
    deadline=$(( $(date +%s%N) + seconds * 1000000000 ))
    until "$@" >/dev/null 2>&1; do
        [ "$(date +%s%N)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Starts a private Xvfb on a free display number; sets DISPLAY and XVFB_PID.
start_xvfb() {
    local log=$1 fd number
    exec {fd}<> <(:)
    Xvfb -displayfd "$fd" -screen 0 1024x768x24 -nolisten tcp -noreset >"$log" 2>&1 &
    XVFB_PID=$!
    if ! read -r -t 20 -u "$fd" number; then
        exec {fd}<&-
        cat "$log" >&2
        fail "Xvfb did not report a display within 20 s"
    fi
    exec {fd}<&-
    export DISPLAY=":$number"
}

# A private HOME with a Pictures folder and private XDG folders under $1, so nothing
# reads or writes the real user's settings or pictures.
private_home() {
    local base=$1
    mkdir -p "$base/home/Pictures" "$base/config" "$base/data" "$base/cache" "$base/runtime"
    chmod 700 "$base/runtime"
    export HOME=$base/home XDG_CONFIG_HOME=$base/config XDG_DATA_HOME=$base/data \
           XDG_CACHE_HOME=$base/cache XDG_RUNTIME_DIR=$base/runtime QT_QPA_PLATFORM=xcb
    unset WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION
}

# Ends a process: TERM, up to five seconds to go, then KILL.
stop_process() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    wait_until 5 bash -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
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
