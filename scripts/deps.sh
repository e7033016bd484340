#!/usr/bin/env bash
# Installs the Debian 12 packages a step needs, and nothing when they are all there already.
# Usage: scripts/deps.sh build|test|shots|bench|fuzz
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libcurl4-openssl-dev libx11-dev)
# Real panels and a real Wayland compositor for the end-to-end checks: LXQt's and Xfce's panels
# with openbox and dunst, weston with Qt's Wayland platform.
desktops=(lxqt-panel xfce4-panel xfconf dunst openbox dbus-x11 dbus-daemon x11-xserver-utils weston
          qt6-wayland)
test=("${build[@]}" libgtest-dev clang-format curl desktop-file-utils appstream dpkg-dev file
      xvfb xauth x11-utils dex openssl prometheus python3 dbus trayer python3-dbus python3-gi
      xdotool imagemagick libssl-dev "${desktops[@]}")
shots=("${build[@]}" python3 openssl xvfb trayer xdotool imagemagick x11-utils dbus
       dbus-user-session
       python3-dbus python3-gi fonts-dejavu-core "${desktops[@]}")
bench=("${build[@]}" curl libssl-dev)
# clang brings libFuzzer and the sanitizer runtimes come with libclang-rt; llvm for coverage.
fuzz=("${build[@]}" clang-14 libclang-rt-14-dev llvm-14)

case "${1:-}" in
  build) wanted=("${build[@]}") ;;
  test) wanted=("${test[@]}") ;;
  shots) wanted=("${shots[@]}") ;;
  bench) wanted=("${bench[@]}") ;;
  fuzz) wanted=("${fuzz[@]}") ;;
  *) echo "usage: $0 build|test|shots|bench|fuzz" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
