#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing: those to build and run tovik, and with
# --test also those to test and package it (and the German locale one test pass runs in).
# Does nothing (no apt-get update) when nothing is missing. As root it installs directly,
# otherwise through sudo; without sudo it prints the command.
set -euo pipefail

# To build tovik and run it.
run_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qcoro-qt6-dev
  libxcb1-dev libxcb-randr0-dev libxcb-shm0-dev libxcb-xtest0-dev libxcb-keysyms1-dev
  libxcb-ewmh-dev libxcb-icccm4-dev libxcb-xfixes0-dev libxcb-damage0-dev
  libdeflate-dev
  fonts-dejavu-core
  qt6-wayland # Qt's platform plugin for a Wayland desktop
)

# To run the test suite on a private X server and a private Wayland desktop, fuzz, check the
# format, and build and check the package.
test_packages=(
  libgtest-dev libgmock-dev
  xvfb openbox xdotool xclip x11-utils x11-xserver-utils trayer lxterminal
  xfwm4 dbus-daemon xcompmgr
  sway swaybg grim wl-clipboard wtype libglib2.0-bin libwayland-dev wayland-protocols
  # The Screenshot portal: xdg-desktop-portal 1.16 offers it only beside an Access
  # implementation, which -gtk has and -wlr lacks.
  pipewire xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
  clang libclang-rt-14-dev clang-format locales
  dpkg-dev file desktop-file-utils appstream
)

# One pass of the tests runs in German, whose system messages differ from the C locale's.
test_locale=de_DE.UTF-8
has_test_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }

packages=("${run_packages[@]}")
testing=false
case "${1:-}" in
  --test) packages+=("${test_packages[@]}"); testing=true ;;
  "") ;;
  *) echo "usage: scripts/setup.sh [--test]" >&2; exit 2 ;;
esac

# One dpkg-query for all of them: installed ones print "name install ok installed".
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  grep -qx "$p install ok installed" <<<"$installed" || missing+=("$p")
done
locale_missing=false
$testing && ! has_test_locale && locale_missing=true
[ ${#missing[@]} -eq 0 ] && ! $locale_missing && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null; then
  echo "setup: installing through sudo what is missing: ${missing[*]:-} (and the test locale)" >&2
  as_root=(sudo)
else
  echo "setup: these packages are missing; install them as root with:" >&2
  echo "  apt-get install --no-install-recommends ${missing[*]:-}" >&2
  $locale_missing && echo "  localedef -i de_DE -f UTF-8 $test_locale" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
has_test_locale || ! $testing || "${as_root[@]}" localedef -i de_DE -f UTF-8 "$test_locale"
