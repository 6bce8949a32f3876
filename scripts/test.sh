#!/usr/bin/env bash
# Installs what is missing, checks the format, builds with warnings as errors, and runs the
# whole suite: optimised; the Debian package installed and driven once; again under
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer in a German locale; and a
# short pass of each fuzz target. No test is retried: a failure is a fault to find.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --test
scripts/format-check.sh
jobs=$(nproc)

configure() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DTOVIK_WERROR=ON "$@" >/dev/null
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

configure build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVIK_BUILD_TESTS=ON -DTOVIK_BUILD_BENCH=ON
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"
check_package

configure build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTOVIK_SANITIZE=ON -DTOVIK_BUILD_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
# The application shows the system's own texts (strerror), which differ from the C locale's.
env -u LC_ALL -u LANGUAGE LANG=de_DE.UTF-8 \
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

configure build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTOVIK_FUZZ=ON -DTOVIK_BUILD_TESTS=OFF -DTOVIK_BUILD_BENCH=OFF
cmake --build build/fuzz -j "$jobs" --target tovik_fuzzers
scripts/fuzz.sh 30
