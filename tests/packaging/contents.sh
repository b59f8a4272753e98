#!/usr/bin/env bash
# What the .deb declares and holds: its control fields (section, maintainer on the
# maker's host, run-time dependencies that no linker sees next to the computed ones),
# every file a desktop needs in its place, a stripped program, a 48 px icon, a manual
# page that renders cleanly, and no maintainer script that could reach the network.
#
#   contents.sh DEB_OR_DIR MAKER_HOST
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
deb=$(find_deb "$1")
host=$2
root=$(unpack_deb "$deb")
trap 'rm -rf "$root"' EXIT

field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    local got
    got=$(field "$1")
    [ "$got" = "$2" ] || fail "$1 is '$got', expected '$2'"
}
expect_field Package kestrel
expect_field Section graphics
expect_field Architecture "$(dpkg --print-architecture)"
expect_field Maintainer "Kestrel developers <kestrel@$host>"

# Depends, one package name a line, versions dropped.
depends=$(field Depends | tr ',' '\n' | sed 's/(.*)//; s/ //g' | sort -u)
# The libraries by the names this release gives their packages (Debian 13's t64 renames).
libraries=()
for lib in libQt6Widgets.so.6 libQt6Gui.so.6 libQt6DBus.so.6 libQt6Core.so.6 libxcb.so.1 \
           libwayland-client.so.0 libc.so.6; do
    owner=$(dpkg -S "*/$lib" 2>/dev/null | head -n1 | cut -d: -f1)
    [ -n "$owner" ] || fail "no installed package holds $lib"
    libraries+=("$owner")
done
for needed in qt6-qpa-plugins qt6-wayland fonts-dejavu-core xdg-utils libglib2.0-bin "${libraries[@]}"; do
    grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed: $(field Depends)"
done
# Built for the release it was built on: its revision says which.
release=$(. /etc/os-release && echo "${VERSION_ID:-}")
case "$(field Version)" in
    *-1~deb"${release%%.*}") [ -n "$release" ] ;;
    *-1) [ -z "$release" ] ;;
    *) false ;;
esac || fail "Version $(field Version) is not the one for Debian ${release:-testing}"

apps=/usr/share/applications/org.ardmoor.Kestrel.desktop
for path in /usr/bin/kestrel "$apps" /usr/share/metainfo/org.ardmoor.Kestrel.metainfo.xml \
            /usr/share/icons/hicolor/scalable/apps/org.ardmoor.Kestrel.svg \
            /usr/share/icons/hicolor/48x48/apps/org.ardmoor.Kestrel.png \
            /usr/share/man/man1/kestrel.1.gz \
            /usr/share/doc/kestrel/copyright /usr/share/doc/kestrel/changelog.Debian.gz; do
    [ -f "$root$path" ] || fail "the package lacks $path"
done
outside=$(cd "$root" && find . -mindepth 1 ! -path './usr' ! -path './usr/*')
[ -z "$outside" ] || fail "files outside /usr: $outside"

kind=$(file -b "$root/usr/bin/kestrel")
case $kind in
    ELF*", stripped"*) ;;
    *) fail "/usr/bin/kestrel is not a stripped ELF program: $kind" ;;
esac
kind=$(file -b "$root/usr/share/icons/hicolor/48x48/apps/org.ardmoor.Kestrel.png")
case $kind in
    "PNG image data, 48 x 48,"*) ;;
    *) fail "the 48x48 icon is $kind" ;;
esac

# The manual page: gzip without a time stamp, and man has nothing to say about it.
for gz in "$root/usr/share/man/man1/kestrel.1.gz" "$root/usr/share/doc/kestrel/changelog.Debian.gz"; do
    gzip -t "$gz" || fail "$gz is not gzip"
    [ "$(od -An -t u4 -j 4 -N 4 "$gz" | tr -d ' ')" = 0 ] || fail "$(basename "$gz") carries a time stamp"
done
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
           "$root/usr/share/man/man1/kestrel.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns about kestrel.1: $warnings"
zcat "$root/usr/share/man/man1/kestrel.1.gz" | grep -q '^\.TH KESTREL 1 "[0-9-]*" "Kestrel [0-9.]*"' \
    || fail "kestrel.1's title line lacks its date or version"
zcat "$root/usr/share/doc/kestrel/changelog.Debian.gz" | head -n1 \
    | grep -qF "kestrel ($(field Version))" || fail "changelog.Debian does not start at $(field Version)"

control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's:^\./::' | grep -v '^$' | sort | tr '\n' ' ')
[ "$control" = "control md5sums " ] || fail "unexpected control files: $control"

echo "ok: $(dpkg-deb -c "$deb" | grep -c '^-') files, Depends: $(field Depends)"
