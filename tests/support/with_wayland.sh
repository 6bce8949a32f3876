#!/usr/bin/env bash
# Runs one command on a private headless Wayland desktop and tears it down with it, so tests
# never touch the user's display, clipboard or keys. The desktop: sway (pixman, no real
# input devices) with two outputs, each painted a solid colour by swaybg and checked with
# grim; windows without title bars or borders; a virtual keyboard that stays until the end; a
# session bus of its own with PipeWire, xdg-desktop-portal, xdg-desktop-portal-wlr (Screenshot,
# ScreenCast) and xdg-desktop-portal-gtk (the rest) on it.
#
# Clipboard: Qt sets the selection with the serial of the last key or button event the window
# had, and sway refuses a selection without one, so a window owns the clipboard only after
# such an event (a click or a key in one of its windows).
#
# The command gets WAYLAND_DISPLAY, SWAYSOCK, DBUS_SESSION_BUS_ADDRESS, XDG_SESSION_TYPE=wayland,
# XDG_CURRENT_DESKTOP=sway, QT_QPA_PLATFORM=wayland and a throwaway HOME, XDG_CONFIG_HOME and
# 0700 XDG_RUNTIME_DIR of its own, plus:
#   TOVIK_TEST_SCREENS      the outputs' geometries, "WxH+X+Y,..." in layout coordinates,
#                           named HEADLESS-1, HEADLESS-2, ... in that order
#   TOVIK_TEST_BACKGROUNDS  their colours, "rrggbb,..." in the same order
# Both may be set by the caller to change the desktop; the defaults are
# "1600x1000+0+0,1280x800+1600+0" and "c83232,3264c8".
#
# Pointer: the seat has no pointer until a virtual one exists. With TOVIK_TEST_POINTER naming
# the tovik_test_pointer program (the build sets it for tests), one is held for the whole run
# and the command moves and presses through the same program:
#   "$TOVIK_TEST_POINTER" move X Y | press [left|right|middle] | release [...] ...
# with X and Y in layout coordinates across all outputs. A button pressed by one call stays
# down until another releases it, so a drag may span several calls.
#
# Another colour or an image on an output: tests/support/wayland_background.sh.
#
# Screenshot portal: xdg-desktop-portal-wlr 0.7 runs grim and answers with file:///tmp/out.png,
# for every caller on the machine the same file. As root the run has a file of its own mounted
# there; otherwise tests registered with the build at least run one at a time (RUN_SERIAL).
#
# As root: sway refuses to run as root, so sway alone runs as TOVIK_WAYLAND_UID (default 65534,
# nobody) in a runtime directory of its own; everything else, the command included, runs as the
# caller and reaches sway through a socket link in the caller's runtime directory. So the
# command reads and writes the caller's files as usual (a build tree under /root, artifacts)
# and nothing needs copying. The whole run is also in a PID namespace of its own, so nothing
# outlives it. As another user everything runs as that user. When the desktop does not come
# up, the script prints the logs of its parts.
set -euo pipefail

[ $# -gt 0 ] || { echo "usage: with_wayland.sh COMMAND [ARGUMENTS...]" >&2; exit 2; }

screens=${TOVIK_TEST_SCREENS:-1600x1000+0+0,1280x800+1600+0}
backgrounds=${TOVIK_TEST_BACKGROUNDS:-c83232,3264c8}
IFS=, read -r -a geometry <<<"$screens"
IFS=, read -r -a colours <<<"$backgrounds"
for g in "${geometry[@]}"; do
  [[ $g =~ ^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+$ ]] ||
    { echo "with_wayland: TOVIK_TEST_SCREENS: '$g' is not WxH+X+Y" >&2; exit 2; }
done
for c in "${colours[@]}"; do
  [[ $c =~ ^[0-9a-f]{6}$ ]] ||
    { echo "with_wayland: TOVIK_TEST_BACKGROUNDS: '$c' is not rrggbb (lower case)" >&2; exit 2; }
done
[ ${#colours[@]} -eq ${#geometry[@]} ] ||
  { echo "with_wayland: ${#geometry[@]} screens but ${#colours[@]} background colours" >&2; exit 2; }

# The command and the desktop run as jobs, so that a TERM or INT stops them at once.
trap 'exit 143' TERM
trap 'exit 130' INT
namespace=${TOVIK_WAYLAND_NAMESPACE:-}
unset TOVIK_WAYLAND_NAMESPACE
if [ -n "$namespace" ]; then
  # Inside: the directory is the caller's to remove; what runs here dies with the namespace.
  tmp=$namespace
  trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true' EXIT
else
  tmp=$(mktemp -d)
  trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$tmp"' EXIT
  if [ "$(id -u)" -eq 0 ]; then
    # unshare ignores TERM; killing it kills the namespace's first process, and with it every
    # other one.
    trap 'kill -KILL $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$tmp"' EXIT
    TOVIK_WAYLAND_NAMESPACE=$tmp unshare --pid --fork --kill-child --mount-proc -- "$0" "$@" <&0 &
    wait $!
    exit
  fi
fi
# The Screenshot portal writes every shot to /tmp/out.png. In the namespace this run's shots
# go to a file of its own mounted there, so no other run sees them or leaves one behind.
shot=/tmp/out.png
if [ -n "$namespace" ]; then
  [ -e $shot ] || install -m 0644 /dev/null $shot
  : >"$tmp/out.png"
  mount --bind "$tmp/out.png" $shot
elif [ -e $shot ] && [ ! -w $shot ]; then
  echo "with_wayland: $shot is not writable: Screenshot portal calls will fail" >&2
fi
run=$tmp/runtime
mkdir -m 0700 "$run" "$tmp/home" "$tmp/logs"
if [ "$(id -u)" -eq 0 ]; then
  uid=${TOVIK_WAYLAND_UID:-65534}
  sway_run=$tmp/sway
  mkdir -m 0700 "$sway_run"
  chown "$uid:$uid" "$sway_run"
  chmod 0711 "$tmp" # sway's user passes through to its own directory, and sees nothing else
  as_sway=(setpriv "--reuid=$uid" "--regid=$uid" --clear-groups)
  "${as_sway[@]}" test -w "$sway_run" || {
    echo "with_wayland: uid $uid cannot reach $sway_run; set TMPDIR to a directory it can pass through" >&2
    exit 1
  }
else
  sway_run=$run
  as_sway=()
fi

# The outputs' modes and places are fixed; nothing runs at start up, no bar, no Xwayland.
# Windows have no title bar or border: sway's tree reports a new window's place first without
# its title bar, and tests would read it while it moves.
config=$tmp/sway.conf
{
  echo "xwayland disable"
  echo "default_border none"
  echo "default_floating_border none"
  for i in "${!geometry[@]}"; do
    g=${geometry[$i]}
    IFS='x+' read -r w h x y <<<"$g"
    echo "output HEADLESS-$((i + 1)) mode ${w}x${h} position $x $y scale 1"
  done
} >"$config"
chmod 0644 "$config"

# Polls a condition for up to 20 s: CI machines under load start all of this slowly.
wait_for() {
  local what=$1
  shift
  for _ in $(seq 400); do "$@" >/dev/null 2>&1 && return 0; sleep 0.05; done
  echo "with_wayland: timed out waiting for $what" >&2
  for log in "$tmp"/logs/*; do echo "--- $log" >&2; tail -n 30 "$log" >&2; done
  exit 1
}

export XDG_RUNTIME_DIR=$run HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway QT_QPA_PLATFORM=wayland
export TOVIK_TEST_SCREENS=$screens TOVIK_TEST_BACKGROUNDS=$backgrounds
unset DISPLAY WAYLAND_SOCKET QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_ENABLE_HIGHDPI_SCALING
export NO_AT_BRIDGE=1
# Under the sanitizers, no leak check here: Qt 6.4's Wayland plugin never frees the data given
# to its clipboard, its activation requests and more, and their stacks pass through tovik's own
# code. That code's leaks are checked on X11, where the same store and exports run.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"

env XDG_RUNTIME_DIR="$sway_run" HOME="$sway_run" WLR_BACKENDS=headless \
  WLR_HEADLESS_OUTPUTS=${#geometry[@]} WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  ${as_sway[@]+"${as_sway[@]}"} sway -c "$config" >"$tmp/logs/sway" 2>&1 &
sway_socket() { compgen -G "$sway_run/wayland-[0-9]" && compgen -G "$sway_run/sway-ipc.*.sock"; }
wait_for "sway's sockets" sway_socket
socket=$(compgen -G "$sway_run/wayland-[0-9]")
[ "$sway_run" = "$run" ] || ln -s "$socket" "$run/${socket##*/}"
export WAYLAND_DISPLAY=${socket##*/}
SWAYSOCK=$(compgen -G "$sway_run/sway-ipc.*.sock")
export SWAYSOCK
outputs_up() { [ "$(swaymsg -t get_outputs | grep -c '"active": true')" -eq ${#geometry[@]} ]; }
wait_for "sway's ${#geometry[@]} outputs" outputs_up

# A keyboard for the whole run, and one key through it, as on a desktop in use: the seat has
# had a key before any client maps.
wtype -s 86400000 >"$tmp/logs/keyboard" 2>&1 &
has_input() { swaymsg -t get_inputs | grep -q "\"type\": \"$1\""; }
wait_for "the virtual keyboard" has_input keyboard
wtype -k Shift_L
if [ -n "${TOVIK_TEST_POINTER:-}" ]; then
  "$TOVIK_TEST_POINTER" hold >"$tmp/logs/pointer" 2>&1 &
  wait_for "the virtual pointer" has_input pointer
fi

# Each output a known colour, confirmed on screen.
export TOVIK_WAYLAND_BACKGROUNDS_DIR=$tmp/backgrounds
mkdir "$TOVIK_WAYLAND_BACKGROUNDS_DIR"
for i in "${!geometry[@]}"; do
  "$(dirname "$0")/wayland_background.sh" "HEADLESS-$((i + 1))" "${colours[$i]}"
done

# The session bus, and PipeWire before the portals: xdg-desktop-portal-wlr gives up without it.
# Services the bus starts on demand get this environment.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$run/bus
dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
  >"$tmp/logs/bus" 2>&1 &
wait_for "the session bus" test -S "$run/bus"
pipewire >"$tmp/logs/pipewire" 2>&1 &
wait_for "PipeWire" test -S "$run/pipewire-0"
libexec=/usr/libexec
[ -x $libexec/xdg-desktop-portal ] || libexec=/usr/lib/xdg-desktop-portal
$libexec/xdg-desktop-portal-wlr >"$tmp/logs/portal-wlr" 2>&1 &
wait_for "xdg-desktop-portal-wlr" gdbus wait --session --timeout 1 org.freedesktop.impl.portal.desktop.wlr
$libexec/xdg-desktop-portal >"$tmp/logs/portal" 2>&1 &
wait_for "xdg-desktop-portal" gdbus wait --session --timeout 1 org.freedesktop.portal.Desktop

"$@" <&0 &
wait $!
