#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when
# any is missing. Safe to run again: it does nothing when all are there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libbenchmark-dev
  xvfb xauth dbus-x11 at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  fonts-noto-cjk imagemagick
  libmecab-dev unidic-mecab libphonenumber-dev poppler-utils
  appstream desktop-file-utils lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
