#!/usr/bin/env bash
# One capture, copied, with an installed tovik, on the private display of with_display.sh:
#   tests/support/with_display.sh tests/support/installed_capture.sh /usr/bin/tovik
# Starts it, captures through the command line and xdotool, copies all and checks the files.
set -euo pipefail
tovik=${1:-tovik}

"$tovik" & pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
# Polls with a bound until tovik's status matches.
wait_for() {
  for _ in $(seq 100); do
    "$tovik" status --json 2>/dev/null | grep -q "$1" && return 0
    sleep 0.1
  done
  echo "installed_capture: tovik never reached $1" >&2
  exit 1
}

# The capture's phase starts before its screens are grabbed: the drag and the keys wait for the
# overlay, a window of tovik's as large as the screen, to be shown and to have the keyboard.
wait_for_overlay() {
  local screen
  screen=$(xdotool getdisplaygeometry | tr ' ' x)
  for _ in $(seq 100); do
    for window in $(xdotool search --onlyvisible --class tovik 2>/dev/null); do
      xdotool getwindowgeometry "$window" | grep -q "Geometry: $screen" &&
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ] && return 0
    done
    sleep 0.1
  done
  echo "installed_capture: no overlay covered the screen with the keyboard" >&2
  exit 1
}

wait_for '"phase"'
"$tovik" capture
wait_for_overlay
xdotool mousemove 300 300 mousedown 1 mousemove 500 400 mousemove 700 500 mouseup 1
xdotool type --delay 20 "Installed capture"
xdotool key ctrl+Return
wait_for '"phase": "monitoring"'

copied=$("$tovik" copy)
folder=$(sed -n 2p <<<"$copied")
test -s "$folder/tovik-001.png"
grep -q "Installed capture" "$folder/feedback.md"
echo "installed_capture: $(head -1 <<<"$copied") into $folder"
"$tovik" quit
wait "$pid"
trap - EXIT
