#!/usr/bin/env bash
# Installs every Debian 12 package the project needs to build, run and test.
# A no-op when they are all present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qcoro-qt6-dev
  libxcb1-dev libxcb-randr0-dev libxcb-shm0-dev libxcb-xtest0-dev libxcb-keysyms1-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-xfixes0-dev libxcb-damage0-dev
  libdeflate-dev
  libgtest-dev libgmock-dev
  xvfb openbox xdotool xclip x11-utils x11-xserver-utils trayer lxterminal
  fonts-dejavu-core
  clang libclang-rt-14-dev clang-format locales
)

# One pass of the tests runs in German, whose system messages differ from the C locale's.
test_locale=de_DE.UTF-8
has_test_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && has_test_locale && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run as root to install ${missing[*]:-} and generate the locale $test_locale" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
has_test_locale || localedef -i de_DE -f UTF-8 "$test_locale"
