#!/usr/bin/env bash
# What CI runs: installs what is missing, checks the formatting, builds with warnings as
# errors and runs the whole suite twice (optimised; then under AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer in a German locale), then gives each fuzz
# target a short run. A failing test fails the run: nothing is retried.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/format-check.sh
jobs=$(nproc)

configure() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DTOVIK_WERROR=ON "$@" >/dev/null
}

configure build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

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
