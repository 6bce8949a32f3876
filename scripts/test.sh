#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite twice: once optimised,
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --test
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # Tests on a real X server wait on other processes; one retry absorbs a loaded machine.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --repeat until-pass:2
}

# The Debian package of the release build: it installs with apt-get, its desktop entry and
# AppStream metadata validate, and the installed tovik tells its version and copies a capture.
check_package() {
  local dir=build/release as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  rm -f "$dir"/tovik_*.deb
  (cd "$dir" && cpack -G DEB >/dev/null)
  local deb=("$dir"/tovik_*.deb)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "./${deb[0]}" >/dev/null
  desktop-file-validate /usr/share/applications/tovik.desktop
  appstreamcli validate --no-net /usr/share/metainfo/org.tovik.Tovik.metainfo.xml >/dev/null
  /usr/bin/tovik --version
  tests/support/with_display.sh tests/support/installed_capture.sh /usr/bin/tovik
  "${as_root[@]}" apt-get remove -y tovik >/dev/null
}

run_suite build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
check_package
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTOVIK_SANITIZE=ON -DTOVIK_BUILD_BENCH=OFF
