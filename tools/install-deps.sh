#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Does nothing when they are all present already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-image-formats-plugins qt6-wayland libxkbcommon-dev libjpeg-dev libpng-dev
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri
  libudev-dev libevdev-dev
  libgtest-dev
  xvfb xauth xdotool imagemagick weston libsdl2-tests
  umockdev libumockdev-dev
  fonts-dejavu-core
  dpkg-dev clang-14 libclang-rt-14-dev clang-format
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
