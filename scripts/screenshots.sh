#!/usr/bin/env bash
# Makes the README's pictures from the real app on a private X server (Xvfb + Openbox):
# runs the end-to-end tests that photograph the overlay, the toolbar and the session window,
# and copies those pictures into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --test
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target tovik_e2e_test
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
TOVIK_ARTIFACTS_DIR=$out tests/support/with_display.sh build/release/tests/app/tovik_e2e_test \
  --gtest_filter='*hotKey_captureWithPenAndComment*:*sessionWindow_reviewEditCopy*'
mkdir -p docs
cp "$out/e2e-overlay-selection-editor.png" docs/overlay.png
cp "$out/e2e-toolbar-unfolded.png" docs/toolbar.png
cp "$out/session-window-captures.png" docs/session-window.png
echo "screenshots: docs/overlay.png docs/toolbar.png docs/session-window.png"
