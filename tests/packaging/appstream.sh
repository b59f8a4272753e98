#!/usr/bin/env bash
# The shipped AppStream metadata passes appstreamcli without the network, and agrees
# with the desktop entry and the maker's host: the id, the launchable, the screenshot.
#
#   appstream.sh DEB_OR_DIR MAKER_HOST
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
deb=$(find_deb "$1")
host=$2
root=$(unpack_deb "$deb")
trap 'rm -rf "$root"' EXIT

files=("$root"/usr/share/metainfo/*.metainfo.xml)
[ ${#files[@]} -eq 1 ] && [ -f "${files[0]}" ] || fail "expected one metainfo file in the package"
metainfo=${files[0]}
echo "appstreamcli validate --no-net $(basename "$metainfo")"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli rejects the metadata"
echo "appstreamcli validate-tree --no-net (the installed tree)"
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"

id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
[ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "file $(basename "$metainfo") does not carry id $id"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[ -f "$root/usr/share/applications/$launchable" ] || fail "launchable $launchable is not in the package"
shot=$(sed -n 's:.*<image[^>]*>\(.*\)</image>.*:\1:p' "$metainfo")
case $shot in
    "https://$host/"*.png) ;;
    *) fail "screenshot '$shot' is not a PNG on https://$host/" ;;
esac
grep -q '@[A-Z_]*@' "$metainfo" && fail "unreplaced @VARIABLE@ left in the metadata"
echo "ok: $id, launches $launchable, screenshot $shot"
