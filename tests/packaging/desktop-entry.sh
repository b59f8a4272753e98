#!/usr/bin/env bash
# The shipped desktop entry passes desktop-file-validate, and what it names exists in
# the package: the program it runs, by its absolute path, the session bus's service that
# starts it, and the icon it shows; and it asks for KWin's screenshot interface.
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
# Started by the session bus when its name is called: the entry says so, and the bus's
# service file of the same name runs the same program.
[ "$(key DBusActivatable)" = true ] || fail "the entry is not DBusActivatable"
service=$root/usr/share/dbus-1/services/$(basename "$entry" .desktop).service
[ -f "$service" ] || fail "the package has no session-bus service $(basename "$service")"
[ "$(sed -n 's/^Name=//p' "$service")" = "$(basename "$entry" .desktop)" ] ||
    fail "$(basename "$service") names another bus name"
[ "$(sed -n 's/^Exec=//p' "$service")" = "$program" ] || fail "$(basename "$service") runs another program"
icon=$(key Icon)
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no scalable SVG"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "Icon=$icon has no 48x48 PNG"
echo "ok: runs $program, started by the session bus too, icon $icon, may use KWin's screenshot interface"
