#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Kestrel needs.
# Idempotent and quiet: when everything is already there it prints nothing and
# touches no package list.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build pkg-config git clang-format
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
  # tests and screenshots of the windows under a window manager with a task bar
  icewm
  # Wayland: the client library and its protocols' scanner, Qt's Wayland platform; the
  # tests' headless sway, its key presses (wtype) and its screen read back (grim), the
  # desktop portal with its wlroots backend, the PipeWire that backend needs, and the GTK
  # backend, without whose Access dialog the portal offers no Screenshot
  libwayland-dev libwayland-bin wayland-protocols qt6-wayland sway wtype grim
  xdg-desktop-portal xdg-desktop-portal-wlr pipewire xdg-desktop-portal-gtk
  # KDE Plasma's tests: a headless KWin (its screenshot interface and fake input; kbuildsycoca5
  # comes with it), the portal's KDE backend for GlobalShortcuts and the Qt 5 Wayland platform
  # it runs on, and the KDE protocols' XML the tests' clients are built from
  kwin-wayland xdg-desktop-portal-kde qtwayland5 plasma-wayland-protocols
  # GNOME's tests: its compositor headless, the portal's GNOME backend and WirePlumber, which
  # links a screen cast's stream to its reader
  mutter xdg-desktop-portal-gnome wireplumber
  # package: the .deb, its checks, its icon, the demonstration's window picture
  dpkg-dev lintian desktop-file-utils appstream librsvg2-bin imagemagick file

  # Windows (scripts/test-windows.sh): the mingw-w64 cross-compiler with posix threads,
  # GoogleTest's sources to build for Windows, and 64-bit Wine to run the console test
  # programs (no display, no Mono, no Gecko); the zip and the NSIS setup
  # (scripts/package-windows.sh) and unzip to check the zip
  g++-mingw-w64-x86-64-posix googletest wine wine64 nsis zip unzip
  # kestrel.exe's icon, rendered from the SVG at build time (with librsvg2-bin above)
  icoutils
)

# The capture benchmark's peers (scripts/bench.sh), only with --bench: the test command
# stays lean.
BENCH_PACKAGES=(imagemagick scrot maim)
# The fuzz targets' compiler and libFuzzer (scripts/fuzz.sh), only with --fuzz.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

usage="usage: install-deps.sh [--bench] [--fuzz]"
for option in "$@"; do
  case "$option" in
    --bench) PACKAGES+=("${BENCH_PACKAGES[@]}") ;;
    --fuzz) PACKAGES+=("${FUZZ_PACKAGES[@]}") ;;
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

# An option given twice, or a package in two lists, is looked at once.
declare -A seen=()
missing=()
for p in "${PACKAGES[@]}"; do
  [ -n "${seen[$p]:-}" ] && continue
  seen[$p]=1
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "kestrel: missing packages: ${missing[*]}" >&2
  echo "kestrel: run this script as root (or with sudo) to install them" >&2
  exit 1
fi
echo "kestrel: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
