#!/usr/bin/env bash
# Installs every Debian package that building, running and testing JexUI needs.
# Idempotent: packages already present are left alone. Root is needed only when a package is
# missing (run it as root then; it never calls sudo itself).
set -euo pipefail

PACKAGES=(
  # tool chain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format git ccache
  # Qt 6: widgets, D-Bus, multimedia
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6opengl6-dev libgl-dev
  qt6-qpa-plugins libqt6svg6
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # the system mixer (ALSA simple mixer); its test starts a sound server with a null sink
  libasound2-dev pulseaudio libasound2-plugins
  # profile archives (.zip) for export and import
  libarchive-dev
  # stand-in core: speech and Braille tables
  espeak-ng libespeak-ng-dev liblouis-dev liblouis-data
  # stand-in core: the accessibility bus it hears JexUI's windows on
  libatspi2.0-dev at-spi2-core
  # the independent screen reader the Orca test runs beside JexUI (label orca), with its Python
  orca python3-gi python3-pyatspi python3-speechd
  # X11 window work and the virtual display
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-xtest0-dev libxcb-xinput-dev xvfb xauth x11-utils
  # a small window manager for the virtual display: it sets the active window the core follows
  openbox
  # session bus for the processes and their tests
  dbus dbus-daemon
  # fonts for a readable screen, tools for sounds and screenshots
  fonts-dejavu-core sox imagemagick
  # typing a user's keys into a window for the screenshots of dialogs that only a menu opens
  xdotool
  # the PO files of jexui-lng checked by the translators' own tools in its tests
  gettext
  # widl, which turns the test and program IDL files into type libraries, with the IDL includes
  # and stdole2.tlb they import (libwine-dev, libwine)
  wine64-tools libwine-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
