#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the station need. Safe to run again.
set -euo pipefail
pkgs=(build-essential cmake ninja-build ccache pkg-config git
      qt6-base-dev qt6-svg-dev libqt6sql6-sqlite libqt6svg6 qt6-qpa-plugins
      libsqlite3-dev sqlite3 libliquid-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      clang libclang-rt-14-dev
      xvfb xauth dbus dbus-x11 libglib2.0-bin xdg-utils poppler-utils imagemagick
      libpoppler-qt6-dev cups cups-bsd cups-client printer-driver-cups-pdf
      fonts-liberation fonts-dejavu-core)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then echo "setup: all packages present"; exit 0; fi
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
