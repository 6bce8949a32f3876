#!/usr/bin/env bash
# Inside tests/support/with_wayland.sh: paints one output's background a solid colour
# ("rrggbb") and waits until grim sees it in the output's middle, or stretches an image over
# it (not checked: the caller compares a grim shot with what it expects).
#   wayland_background.sh HEADLESS-N (rrggbb | IMAGE)
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: wayland_background.sh HEADLESS-N (rrggbb | IMAGE)" >&2; exit 2; }
output=$1
what=$2
dir=${TOVIK_WAYLAND_BACKGROUNDS_DIR:?wayland_background.sh runs inside with_wayland.sh}
[[ $output =~ ^HEADLESS-([0-9]+)$ ]] || { echo "wayland_background: no output '$output'" >&2; exit 2; }
IFS=, read -r -a geometry <<<"$TOVIK_TEST_SCREENS"
index=$((BASH_REMATCH[1] - 1))
[ "$index" -ge 0 ] && [ "$index" -lt ${#geometry[@]} ] ||
  { echo "wayland_background: no output '$output'" >&2; exit 2; }

if [[ $what =~ ^[0-9a-fA-F]{6}$ ]]; then
  what=${what,,}
  swaybg -o "$output" -c "#$what" >/dev/null 2>&1 &
elif [ -r "$what" ]; then
  swaybg -o "$output" -i "$what" -m stretch >/dev/null 2>&1 &
else
  echo "wayland_background: '$what' is neither rrggbb nor a readable image" >&2
  exit 2
fi
# The new one first, then the old one goes: the output never shows no background.
pidfile=$dir/$output.pid
[ -s "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
echo $! >"$pidfile"

[[ $what =~ ^[0-9a-f]{6}$ ]] || exit 0
IFS='x+' read -r w h x y <<<"${geometry[$index]}"
middle() { grim -g "$((x + w / 2)),$((y + h / 2)) 1x1" -t ppm - | tail -c 3 | od -An -tx1 | tr -d ' \n'; }
for _ in $(seq 400); do
  [ "$(middle 2>/dev/null)" = "$what" ] && exit 0
  sleep 0.05
done
echo "wayland_background: $output does not show #$what (it shows #$(middle))" >&2
exit 1
