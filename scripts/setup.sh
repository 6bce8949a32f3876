#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run and test.
# A no-op when they are all present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libqt6svg6-dev qcoro-qt6-dev
  libxcb1-dev libxcb-randr0-dev libxcb-shm0-dev libxcb-xtest0-dev libxcb-keysyms1-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-xfixes0-dev libxcb-damage0-dev
  libdeflate-dev
  libgtest-dev libgmock-dev
  xvfb openbox xdotool xclip x11-utils x11-xserver-utils trayer lxterminal
  xfwm4 dbus-daemon
  xcompmgr
  fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: these packages are missing; run as root to install them: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y --no-install-recommends "${missing[@]}"
