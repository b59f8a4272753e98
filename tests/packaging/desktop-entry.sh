#!/usr/bin/env bash
# The shipped desktop entry passes desktop-file-validate, and what it names exists in
# the package: the program it runs, by its absolute path, and the icon it shows; and it
# asks for KWin's screenshot interface.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
deb=$(find_deb "$1")
root=$(unpack_deb "$deb")
trap 'rm -rf "$root"' EXIT

entries=("$root"/usr/share/applications/*.desktop)
[ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ] || fail "expected one desktop entry in the package"
entry=${entries[0]}
echo "desktop-file-validate $(basename "$entry")"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $(basename "$entry")"

key() { sed -n "s/^$1=//p" "$entry" | head -n1; }
exec_line=$(key Exec)
program=${exec_line%% *}
# KWin lets a program take screenshots when an entry listing its interface runs that very
# file: the Exec must name it by its absolute path.
[ "$program" = /usr/bin/kestrel ] || fail "Exec=$exec_line, not the installed /usr/bin/kestrel"
[ -x "$root$program" ] || fail "Exec=$exec_line, but the package has no $program"
[ "$(key X-KDE-DBUS-Restricted-Interfaces)" = org.kde.KWin.ScreenShot2 ] ||
    fail "the entry does not ask for KWin's screenshot interface"
icon=$(key Icon)
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no scalable SVG"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "Icon=$icon has no 48x48 PNG"
echo "ok: runs $program, icon $icon, may use KWin's screenshot interface"
