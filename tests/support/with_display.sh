#!/usr/bin/env bash
# Runs one command on a private X server (Xvfb, 2560x1440, with Openbox as window
# manager) and tears both down, so tests never touch the user's display, clipboard or keys.
# TOVIK_TEST_WM=xfwm4 runs Xfce's window manager with its compositor instead.
set -euo pipefail

size=${TOVIK_TEST_SCREEN:-2560x1440}
# Extra Xvfb arguments, split on spaces: "-extension MIT-SHM" for a server without it.
read -r -a extra <<<"${TOVIK_XVFB_ARGS:-}"
tmp=$(mktemp -d)
cleanup() {
  # The window manager is killed outright: xfwm4 4.18 can deadlock in its SIGTERM handler
  # (it quits its main loop from the signal, inside that loop's dispatch), and the wait
  # never ends.
  if [ -n "${wm_pid:-}" ]; then
    { kill -KILL "$wm_pid" && wait "$wm_pid"; } 2>/dev/null || true
  fi
  # xfconfd, started by xfwm4's bus, is no job of this shell and writes its settings into
  # $tmp on the way out: it goes, and is gone, before $tmp is removed.
  local xfconfd
  xfconfd=$(dbus-send --bus="unix:path=$tmp/bus" --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.xfce.Xfconf 2>/dev/null |
    awk '/uint32/ { print $2 }') || true
  if [ -n "$xfconfd" ]; then
    kill "$xfconfd" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$xfconfd" 2>/dev/null || break; sleep 0.05; done
  fi
  kill $(jobs -p) 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# -displayfd picks a free display number, so parallel runs never collide. -noreset: by
# default the server resets when its last client leaves, dropping any connection still being
# set up; the readiness probes below (xprop) come and go while the window manager connects.
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset +extension RANDR ${extra[@]+"${extra[@]}"} 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
# Bounds are generous: CI machines under load start both slowly.
for _ in $(seq 400); do [ -s "$tmp/display" ] && break; sleep 0.05; done
[ -s "$tmp/display" ] || { echo "with_display: Xvfb did not start" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$tmp/display")"
export XDG_RUNTIME_DIR="$tmp" XDG_CONFIG_HOME="$tmp/config" HOME="$tmp"
unset WAYLAND_DISPLAY
export XDG_SESSION_TYPE=x11 QT_QPA_PLATFORM=xcb
# One device pixel per point whatever the caller's desktop uses; GTK programs (lxterminal)
# do not wait for an accessibility bus that is not there.
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_ENABLE_HIGHDPI_SCALING
export NO_AT_BRIDGE=1

wm=${TOVIK_TEST_WM:-openbox}
case "$wm" in
openbox)
  openbox --sm-disable >"$tmp/wm.log" 2>&1 &
  ;;
xfwm4)
  # xfwm4 reads its settings from xfconfd, which a session bus starts on demand; the bus is
  # the window manager's alone, so the command under test sees no other D-Bus services.
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$tmp/bus" >"$tmp/bus.log" 2>&1 &
  for _ in $(seq 400); do [ -S "$tmp/bus" ] && break; sleep 0.05; done
  # The default vblank mode asks Xvfb's GLX for what it lacks, and the compositor gives up.
  DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/bus" xfwm4 --compositor=on --vblank=off \
    >"$tmp/wm.log" 2>&1 &
  ;;
*)
  echo "with_display: unknown TOVIK_TEST_WM '$wm' (openbox or xfwm4)" >&2
  exit 1
  ;;
esac
wm_pid=$!
# The window manager is ready once it has set _NET_SUPPORTING_WM_CHECK on the root window
# (xfwm4 starts its compositor before that).
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
for _ in $(seq 400); do wm_ready && break; sleep 0.05; done
wm_ready || {
  echo "with_display: $wm did not start on $DISPLAY" >&2
  kill -0 "$xvfb" 2>/dev/null || echo "with_display: Xvfb has exited" >&2
  xdpyinfo >/dev/null 2>&1 || echo "with_display: the X server takes no connections" >&2
  cat "$tmp/wm.log" "$tmp/xvfb.log" >&2
  exit 1
}

"$@"
