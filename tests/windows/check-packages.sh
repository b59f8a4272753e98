#!/usr/bin/env bash
# Checks the Windows downloads from the outside, on the build machine: the zip holds
# exactly kestrel.exe, README.txt and LICENSE.txt at its top, the texts with Windows' line
# ends; the shipped kestrel.exe is a 64-bit GUI program, stripped, needing no DLL but
# Windows' own; the setup is a 64-bit Windows program. The setup's behaviour is checked
# under Wine (KestrelSetupTest.cpp).
#   check-packages.sh ZIP SETUP SOURCE-DIR OBJDUMP
set -uo pipefail
zip=$1 setup=$2 source=$3 objdump=$4
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The little-endian number of $3 bytes (2 or 4) at byte $2 of file $1; empty past its end.
number_at() {
    od -An -t"u$3" -j"$2" -N"$3" --endian=little "$1" 2>/dev/null | tr -d ' '
}

# Fails unless file $2, called $1, is a 64-bit Windows GUI program, as its headers say: the
# DOS header's MZ and the place of the PE header; there the PE signature, the machine
# x86-64, an executable image that is no DLL, the optional header of PE32+ and the GUI
# subsystem.
check_gui_program() {
    local name=$1 file=$2 pe optional value
    [ "$(number_at "$file" 0 2)" = $((0x5A4D)) ] || { fail "$name has no MZ header"; return; }
    pe=$(number_at "$file" 60 4)
    [ "$(number_at "$file" "${pe:-0}" 4)" = $((0x4550)) ] || { fail "$name has no PE signature"; return; }
    value=$(number_at "$file" $((pe + 4)) 2)
    [ "$value" = $((0x8664)) ] || fail "$name is not for x86-64 (machine $value)"
    value=$(number_at "$file" $((pe + 22)) 2)
    [ $((${value:-0} & 0x2002)) -eq 2 ] ||
        fail "$name is no executable image, or a DLL (characteristics $value)"
    optional=$((pe + 24))
    value=$(number_at "$file" "$optional" 2)
    [ "$value" = $((0x20B)) ] || fail "$name has no PE32+ optional header (magic $value)"
    value=$(number_at "$file" $((optional + 68)) 2)
    [ "$value" = 2 ] || fail "$name is not a GUI program (subsystem $value)"
}

for file in "$zip" "$setup"; do
    [ -f "$file" ] || { echo "FAIL: $file was not made: install nsis and zip (scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Exactly these members, in this order, no folders and no paths of the build.
members=$(unzip -Z1 "$zip") || fail "unzip cannot list $zip"
expected=$'kestrel.exe\nREADME.txt\nLICENSE.txt'
[ "$members" = "$expected" ] || fail "the zip holds"$'\n'"$members"$'\n'"instead of"$'\n'"$expected"
unzip -q "$zip" -d "$work" || fail "unzip cannot extract $zip"

# Each text is its source with CR LF line ends: no line without its CR, nothing else changed.
for pair in README.txt:README.md LICENSE.txt:LICENSE; do
    shipped=$work/${pair%%:*} original=$source/${pair#*:}
    [ -f "$shipped" ] || continue
    if grep -q $'[^\r]$' "$shipped" || grep -qx '' "$shipped"; then
        fail "${pair%%:*} has lines without Windows' line end"
    fi
    tr -d '\r' <"$shipped" | cmp -s - "$original" || fail "${pair%%:*} differs from ${pair#*:}"
done

exe=$work/kestrel.exe
if [ -f "$exe" ]; then
    check_gui_program kestrel.exe "$exe"
    sections=$("$objdump" -h "$exe" | awk '$2 ~ /^\.debug/ {print $2}')
    [ -z "$sections" ] || fail "kestrel.exe is not stripped: $(echo $sections)"
    # Windows' own DLLs only: the C and C++ runtimes and winpthreads are linked in.
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ -n "$dlls" ] || fail "objdump finds no imported DLL in kestrel.exe"
    while read -r dll; do
        case "${dll,,}" in
            kernel32.dll | user32.dll | gdi32.dll | advapi32.dll | shell32.dll | comctl32.dll | \
                comdlg32.dll | ole32.dll | oleaut32.dll | shlwapi.dll | uxtheme.dll | \
                version.dll | dwmapi.dll | shcore.dll | msvcrt.dll) ;;
            *) fail "kestrel.exe needs $dll, which Windows does not have" ;;
        esac
    done <<<"$dlls"
fi

check_gui_program "the setup" "$setup"

[ "$failures" -eq 0 ] || exit 1
echo "the zip and the setup are as shipped: $(stat -c %s "$exe") bytes of kestrel.exe," \
    "$(stat -c %s "$zip") of zip, $(stat -c %s "$setup") of setup"
