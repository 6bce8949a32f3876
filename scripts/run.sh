#!/usr/bin/env bash
# Installs what is missing, builds and starts tovik.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target tovik
exec build/release/src/app/tovik "$@"
