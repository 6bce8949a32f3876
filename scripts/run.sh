#!/usr/bin/env bash
# Builds tovik in this checkout and starts it in your desktop session, as you. Installs
# only the packages that are missing (through sudo when you are not root).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
  echo "run: start it from a terminal inside your desktop session." >&2
  exit 1
fi

scripts/setup.sh

# Started as root through sudo: build and run as the user who asked, so that the build
# folder, the settings and the exported files are theirs.
as_user=()
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "${SUDO_USER}" != root ]; then
  as_user=(sudo -u "$SUDO_USER" --preserve-env=DISPLAY,XAUTHORITY,WAYLAND_DISPLAY,XDG_SESSION_TYPE
           env XDG_RUNTIME_DIR="/run/user/$(id -u "$SUDO_USER")")
fi
# The tests and benchmarks need the test packages, which this script does not install.
"${as_user[@]}" cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOVIK_BUILD_TESTS=OFF -DTOVIK_BUILD_BENCH=OFF >/dev/null
"${as_user[@]}" cmake --build build/release -j "$(nproc)" --target tovik
exec "${as_user[@]}" build/release/src/app/tovik "$@"
