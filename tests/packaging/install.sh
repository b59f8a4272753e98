#!/usr/bin/env bash
# A real install on this machine: apt-get installs the .deb, /usr/bin/kestrel starts on a
# private Xvfb with the hot key on, Ctrl+F saves a capture, then the package is purged
# and nothing of it may be left under /usr. It changes the machine's package set, so it
# runs only as root and only when asked to: CI=true or KESTREL_INSTALL_TEST=1.
#
#   install.sh DEB_OR_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
[ "${CI:-}" = true ] || [ "${KESTREL_INSTALL_TEST:-}" = 1 ] \
    || skip "it installs and purges a package on this machine; set KESTREL_INSTALL_TEST=1 (or CI=true) to run it"
for tool in apt-get Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh)"
done
deb=$(find_deb "$1")

installed_state() { dpkg-query -W -f='${Status}' kestrel 2>/dev/null || true; }
case $(installed_state) in
    "" | *not-installed) ;;
    *) fail "kestrel is already installed here ($(installed_state)); purge it first: apt-get purge kestrel" ;;
esac

work=$(mktemp -d /tmp/kestrel-install-test.XXXXXX)
XVFB_PID= KESTREL_PID= we_installed=
cleanup() {
    stop_process "$KESTREL_PID"
    stop_process "$XVFB_PID"
    if [ -n "$we_installed" ]; then
        apt-get purge -y -qq kestrel >/dev/null 2>&1 || dpkg --purge kestrel >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Whatever already carries Kestrel's names under /usr (a build installed by hand into
# /usr/local, say) is not the package's.
names_under_usr() {
    find /usr -xdev \( -iname '*kestrel*' -o -name 'org.ardmoor.*' \) 2>/dev/null | sort
}
names_under_usr >"$work/names-before"

export DEBIAN_FRONTEND=noninteractive
echo "apt-get install $deb"
we_installed=1
if ! apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt-install.log" 2>&1; then
    cat "$work/apt-install.log" >&2
    fail "apt-get could not install the package"
fi
case $(installed_state) in
    "install ok installed") ;;
    *) fail "after apt-get install, dpkg says: $(installed_state)" ;;
esac
dpkg -L kestrel | sort >"$work/files"
echo "installed $(wc -l <"$work/files") paths"
[ "$(PATH=/usr/bin:/bin command -v kestrel)" = /usr/bin/kestrel ] || fail "kestrel is not /usr/bin/kestrel"
missing=$(ldd /usr/bin/kestrel | grep 'not found' || true)
[ -z "$missing" ] || fail "the installed program lacks libraries: $missing"

echo "starting /usr/bin/kestrel on a private Xvfb with UseHotkey=1"
private_home "$work"
printf '[Settings]\nUseHotkey=1\n' >"$XDG_CONFIG_HOME/Kestrel.conf"
start_xvfb "$work/xvfb.log" || { cat "$work/xvfb.log" >&2; fail "Xvfb did not report a display within 20 s"; }
/usr/bin/kestrel >"$work/kestrel.log" 2>&1 &
KESTREL_PID=$!
main_window() { xdotool search --onlyvisible --name '^Screen Capture Utility$'; }
if ! wait_until 30 main_window; then
    cat "$work/kestrel.log" >&2
    fail "the main window did not appear within 30 s"
fi
# The window is shown only after Ctrl+F is grabbed, so the key press cannot be early.
echo "pressing Ctrl+F"
xdotool key ctrl+f
capture() { compgen -G "$HOME/Pictures/KESTREL_*/*.bmp"; }
if ! wait_until 20 capture; then
    cat "$work/kestrel.log" >&2
    fail "no capture file within 20 s of Ctrl+F"
fi
mapfile -t shots < <(capture)
[ ${#shots[@]} -eq 1 ] || fail "one Ctrl+F saved ${#shots[@]} files: ${shots[*]}"
name=$(basename "${shots[0]}")
[[ $name =~ ^1-[0-9]{6}-[0-9]+-[0-9]+\.bmp$ ]] || fail "capture file name '$name' is not N-hhmmss-x-y.bmp"
check_bmp "${shots[0]}" 800 600
kill -0 "$KESTREL_PID" 2>/dev/null || fail "kestrel ended after the capture"
echo "captured ${shots[0]#"$work"/} ($(stat -c %s "${shots[0]}") bytes)"
stop_process "$KESTREL_PID"; KESTREL_PID=
stop_process "$XVFB_PID"; XVFB_PID=

echo "apt-get purge kestrel"
if ! apt-get purge -y -qq kestrel >"$work/apt-purge.log" 2>&1; then
    cat "$work/apt-purge.log" >&2
    fail "apt-get could not purge the package"
fi
we_installed=
case $(installed_state) in
    "" | *not-installed) ;;
    *) fail "after the purge, dpkg says: $(installed_state)" ;;
esac

# Every file the package had is gone; a directory may stay only while another package
# owns it or something else still lives in it (/usr/bin, the icon theme's folders).
left=()
while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        dpkg -S "$path" >/dev/null 2>&1 && continue
        [ -n "$(ls -A "$path")" ] && continue
    fi
    left+=("$path")
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left under /usr after the purge: ${left[*]}"
names_under_usr >"$work/names-after"
new_names=$(comm -13 "$work/names-before" "$work/names-after")
[ -z "$new_names" ] || fail "left under /usr after the purge: $new_names"
echo "ok: installed, captured with Ctrl+F, purged without a trace under /usr"
