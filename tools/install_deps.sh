#!/bin/sh
# Installs the Debian 12 packages the build, the tests and headless runs need.
# Safe to run again: apt-get skips what is present.
set -e
PKGS="build-essential cmake pkg-config ccache git python3
  libsdl2-dev libepoxy-dev libstb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl1-mesa-dri libegl-mesa0 libgl1-mesa-dev
  fonts-dejavu-core clang libclang-rt-14-dev
  lua5.4"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
