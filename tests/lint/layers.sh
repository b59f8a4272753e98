#!/usr/bin/env bash
# The dependency rules of src/ (docs/architecture.md, "Rules"), checked on every #include:
#   - the core and its seam (src/core/) include no toolkit or window-system header (Qt, XCB,
#     X11, Wayland, Windows) and nothing of a backend, a front end or a program;
#   - a front end (src/ui/X/) includes no backend (src/platform/); what one platform's
#     backend and front end both need lives in src/common/X/;
#   - a backend (src/platform/X/) includes no other backend, except the POSIX helpers that
#     the Linux backends share, and no front end or program;
#   - no two files under src/core/ and src/platform/ share a base name.
# Prints each offending line as FILE:LINE: TEXT and fails if there is any.
#   bash tests/lint/layers.sh [SRC_DIR]
set -uo pipefail
src=${1:-$(dirname "$0")/../../src}
cd "$src" || exit 2

status=0
offend() {  # rule, then grep -n output lines
    local rule=$1 hits=$2
    [ -z "$hits" ] && return
    printf '%s\n' "$hits" | sed "s|^|src/|; s|\$|   <- $rule|"
    status=1
}
includes() {  # FILES... : every include line, as FILE:LINE:TEXT
    [ $# -eq 0 ] && return
    grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$@" /dev/null
}

desktop='[<"](Q[A-Za-z]*|Qt[A-Za-z]*/|xcb/|X11/|wayland-|gio/|glib|dbus/|pipewire/|spa/|(windows|winuser|wingdi|winreg|shellapi|shlobj|commctrl|objbase|dwmapi|shlwapi)\.h)'
mapfile -t core < <(find core -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) | sort)
offend "the core includes a desktop's header" "$(includes "${core[@]}" | grep -E "include[[:space:]]*$desktop")"
offend "the core includes a backend, front end or program" \
    "$(includes "${core[@]}" | grep -E 'include[[:space:]]*"(platform|ui|app|common)/')"

for frontEnd in ui/*/; do
    mapfile -t files < <(find "$frontEnd" -type f | sort)
    offend "a front end includes a backend" "$(includes "${files[@]}" | grep -E 'include[[:space:]]*"(platform|app)/')"
    platform=$(basename "$frontEnd")
    offend "a front end includes another platform's common helpers" \
        "$(includes "${files[@]}" | grep -E 'include[[:space:]]*"common/' | grep -vE "\"common/$platform/")"
done

for backend in platform/*/; do
    name=$(basename "$backend")
    allowed="platform/$name/"
    [ "$name" != win32 ] && [ "$name" != posix ] && allowed="platform/($name|posix)/"
    mapfile -t files < <(find "$backend" -type f | sort)
    offend "a backend includes another backend" \
        "$(includes "${files[@]}" | grep -E 'include[[:space:]]*"platform/' | grep -vE "include[[:space:]]*\"$allowed")"
    offend "a backend includes a front end or program" \
        "$(includes "${files[@]}" | grep -E 'include[[:space:]]*"(ui|app)/')"
    offend "a backend includes another platform's common helpers" \
        "$(includes "${files[@]}" | grep -E 'include[[:space:]]*"common/' | grep -vE "\"common/$name/")"
done

if [ -d common ]; then
    mapfile -t files < <(find common -type f | sort)
    offend "a common helper includes a backend, front end or program" \
        "$(includes "${files[@]}" | grep -E 'include[[:space:]]*"(platform|ui|app)/')"
fi

shared=$(find core platform -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \) -printf '%h %f\n' |
    sed 's/\.[^.]*$//' | sort -u | awk '{print $2}' | sort | uniq -d)
for base in $shared; do
    echo "$(find core platform -name "$base.*" -printf 'src/%p ')  <- two units share the name $base"
    status=1
done

[ "$status" = 0 ] && echo "layers: $(find . -type f | wc -l) files under src/ keep the rules"
exit "$status"
