#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Kestrel needs, on
# Debian 12, 13 and testing alike. Idempotent and quiet: when everything is already there it
# prints nothing and touches no package list. "a|b" is one need that releases name
# differently: met by any of them installed, else the first the release offers is installed.
# The Windows tests' Wine may be missing from a release altogether (testing, at times): it
# is then left out here, and scripts/test-windows.sh says what it skips.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config git clang-format passwd
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev
  libxcb-keysyms1-dev libxcb-xkb-dev libxcb-xtest0-dev libxcb-res0-dev libpipewire-0.3-dev
  # run: Qt's xcb platform plugin, a font Qt can draw with, the URL handler, a face with
  # the widths the windows' layouts were drawn for, Qt's D-Bus and gdbus for the capture
  # action on the session bus
  libqt6gui6 qt6-qpa-plugins fonts-dejavu-core xdg-utils fonts-liberation2
  libqt6dbus6 libglib2.0-bin
  # tests: a virtual X server, monitors, XTest input, GoogleTest, a private session bus
  xvfb xauth x11-xserver-utils x11-utils xdotool libgtest-dev libgmock-dev dbus-daemon
  # the program under memcheck
  valgrind
  # a real Xorg on the dummy video driver, whose modes can be switched under a running Kestrel
  xserver-xorg-core xserver-xorg-video-dummy
  # tests and screenshots of the windows under a window manager with a task bar
  icewm
  # Wayland: the client library and its protocols' scanner, Qt's Wayland platform; the
  # tests' headless sway, its key presses (wtype) and its screen read back (grim), the
  # desktop portal with its wlroots backend, the PipeWire that backend needs, and the GTK
  # backend, without whose Access dialog the portal offers no Screenshot
  libwayland-dev libwayland-bin wayland-protocols qt6-wayland sway wtype grim
  xdg-desktop-portal xdg-desktop-portal-wlr pipewire xdg-desktop-portal-gtk
  # KDE Plasma's tests: a headless KWin (its screenshot interface and fake input), its
  # plugins and kglobalaccel (kwin-common, no longer pulled in by Plasma 6's kwin-wayland),
  # kbuildsycoca (Plasma 5's comes with KWin, Plasma 6's in libkf6service-bin), the portal's
  # KDE backend for GlobalShortcuts, the Qt 5 Wayland platform Plasma 5's backend runs on,
  # and the KDE protocols' XML the tests' clients are built from
  kwin-wayland kwin-common "libkf6service-bin|libkf5service-bin" xdg-desktop-portal-kde
  plasma-wayland-protocols qtwayland5
  # GNOME's tests: its compositor headless, the portal's GNOME backend and WirePlumber, which
  # links a screen cast's stream to its reader
  mutter xdg-desktop-portal-gnome wireplumber
  # package: the .deb, its checks, its icon, the demonstration's window picture
  dpkg-dev lintian desktop-file-utils appstream librsvg2-bin imagemagick file

  # Windows (scripts/test-windows.sh): the mingw-w64 cross-compiler with posix threads,
  # GoogleTest's sources to build for Windows, and 64-bit Wine to run the console test
  # programs (no display, no Mono, no Gecko); the zip and the NSIS setup
  # (scripts/package-windows.sh) and unzip to check the zip
  g++-mingw-w64-x86-64-posix googletest nsis zip unzip
  # kestrel.exe's icon, rendered from the SVG at build time (with librsvg2-bin above)
  icoutils
)

# Wine, left out where the release has none (see above).
WINE_PACKAGES=(wine wine64)
# labwc's tests, with its outputs set by wlr-randr, where the release has labwc (Debian 13 on).
LABWC_PACKAGES=(labwc wlr-randr)
# GNOME Shell's tests of Ctrl+F, and the dialog its portal asks through, where the release's
# GNOME binds global shortcuts (48 on: Debian 13 on).
SHELL_PACKAGES=(gnome-shell gnome-control-center)

# The capture benchmark's peers (scripts/bench.sh), only with --bench: the test command
# stays lean.
BENCH_PACKAGES=(imagemagick scrot maim)
# The fuzz targets' compiler and libFuzzer (scripts/fuzz.sh), only with --fuzz.
FUZZ_PACKAGES=(clang "libclang-rt-dev|libclang-rt-14-dev")

usage="usage: install-deps.sh [--bench] [--fuzz]"
bench= fuzz=
for option in "$@"; do
  case "$option" in
    --bench) bench=1 ;;
    --fuzz) fuzz=1 ;;
    -h | --help)
      echo "$usage"
      exit 0
      ;;
    *)
      echo "kestrel: unknown option '$option'" >&2
      echo "$usage" >&2
      exit 2
      ;;
  esac
done

# In one order whatever the options' order, so the same request prints the same list.
[ -z "$bench" ] || PACKAGES+=("${BENCH_PACKAGES[@]}")
[ -z "$fuzz" ] || PACKAGES+=("${FUZZ_PACKAGES[@]}")

# Whether the release offers a package, by the package lists fetched last.
offered() { [ -n "$(apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ && $2 != "(none)"')" ]; }

# Where nothing is missing, nothing more is done: no package list is read or fetched.
declare -A seen=()
missing=()
need() {
    local alternative
    [ -n "${seen[$1]:-}" ] && return 0
    seen[$1]=1
    for alternative in ${1//|/ }; do
        dpkg-query -W -f='${Status}' "$alternative" 2>/dev/null | grep -q '^install ok installed$' && return 0
    done
    missing+=("$1")
}
for p in "${PACKAGES[@]}"; do need "$p"; done
wine_missing=()
for p in "${WINE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || wine_missing+=("$p")
done
# A release known (from lists already fetched) to have no Wine asks for none.
if [ ${#wine_missing[@]} -gt 0 ] && ls /var/lib/apt/lists/*_Packages >/dev/null 2>&1 &&
    ! offered wine; then
    wine_missing=()
fi
# The packages of a list not yet installed.
not_installed() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
    done
}
# GNOME Shell 48 or later, by the package lists.
shell_binds_keys() {
    local version
    version=$(apt-cache policy gnome-shell 2>/dev/null | awk '/Candidate:/ { print $2 }')
    [ -n "$version" ] && [ "$version" != "(none)" ] && dpkg --compare-versions "$version" ge 48
}
mapfile -t labwc_missing < <(not_installed "${LABWC_PACKAGES[@]}")
mapfile -t shell_missing < <(not_installed "${SHELL_PACKAGES[@]}")
# Releases known (from lists already fetched) to lack them ask for none.
if ls /var/lib/apt/lists/*_Packages >/dev/null 2>&1; then
    offered labwc || labwc_missing=()
    shell_binds_keys || shell_missing=()
fi
[ ${#missing[@]} -eq 0 ] && [ ${#wine_missing[@]} -eq 0 ] && [ ${#labwc_missing[@]} -eq 0 ] &&
    [ ${#shell_missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "kestrel: missing packages: ${missing[*]} ${wine_missing[*]} ${labwc_missing[*]} ${shell_missing[*]}" >&2
  echo "kestrel: run this script as root (or with sudo) to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
# Each need by the name this release gives it.
install=()
for p in "${missing[@]}"; do
    chosen=
    for alternative in ${p//|/ }; do
        if offered "$alternative"; then chosen=$alternative; break; fi
    done
    install+=("${chosen:-${p%%|*}}")
done
! offered labwc || install+=("${labwc_missing[@]}")
! shell_binds_keys || install+=("${shell_missing[@]}")
if offered wine; then
    install+=("${wine_missing[@]}")
else
    echo "kestrel: this release offers no wine: the Windows tests will be skipped" >&2
fi
[ ${#install[@]} -eq 0 ] && exit 0
echo "kestrel: installing ${install[*]}" >&2
apt-get install -y -qq --no-install-recommends "${install[@]}" >/dev/null
