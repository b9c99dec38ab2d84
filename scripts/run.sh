#!/usr/bin/env bash
# Installs what is needed, builds, and runs the core with JexUI on a private session bus.
#
# The core (corvane) runs in the foreground of this terminal: its standard input is its
# console, so commands typed here go into its command queue ("TOGGMEN" shows or hides JexUI's
# main window, ":help" lists the console commands, "EXITHALDANOW" ends everything). The core
# starts JexUI itself. Without $DISPLAY a virtual display (Xvfb) with a window manager (openbox)
# is started. Root is needed only when packages are missing (install-deps.sh). Ctrl+C ends the
# core; JexUI notices that the core has left the bus and shuts down in order.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash scripts/install-deps.sh
source scripts/buildcache.sh
cmake --preset default >/dev/null
cmake --build --preset default --target jexui corvane qmtwcd jexui-ini
BIN=$ROOT/build/default/bin

XVFB_PID=""
WM_PID=""
DBUS_PID=""
A11Y_PID=""
ADDR_FILE=$(mktemp)

ui_runs() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:JexUI.UI_Application 2>/dev/null | grep -q "boolean true"
}

cleanup() {
  trap - EXIT INT TERM
  # JexUI ends by itself once the core is gone; give it a moment for its orderly shutdown.
  for _ in $(seq 50); do ui_runs || break; sleep 0.1; done
  [ -n "$A11Y_PID" ] && kill "$A11Y_PID" 2>/dev/null || true
  [ -n "$DBUS_PID" ] && kill "$DBUS_PID" 2>/dev/null || true
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -f "$ADDR_FILE"
  echo "run: ended. JexUI's log: $BIN/jexui.log"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  # In a session of its own: Ctrl+C in this terminal must not take the display away from
  # JexUI while it shuts down.
  setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  export DISPLAY=":$n"
  # A window manager makes windows active (and says which one is); without it nothing would
  # hand the focus back and forth between JexUI and the other windows.
  setsid openbox --sm-disable >/dev/null 2>&1 &
  WM_PID=$!
  echo "run: no display found; started a virtual display $DISPLAY (Xvfb) with openbox"
fi

# A private session bus for the core and JexUI, out of reach of Ctrl+C like the display; its
# own messages (an unprivileged user cannot raise the file limit) go to a log.
setsid dbus-daemon --session --nofork --print-address=3 3>"$ADDR_FILE" 2>"$BIN/dbus-daemon.log" &
DBUS_PID=$!
for _ in $(seq 50); do [ -s "$ADDR_FILE" ] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$ADDR_FILE")
export DBUS_SESSION_BUS_ADDRESS
# The accessibility bus on this session bus: the core hears JexUI's windows on it.
if [ -x /usr/libexec/at-spi-bus-launcher ]; then
  setsid /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  A11Y_PID=$!
fi

cat <<INFO
run: the core runs in this terminal; type a command and Enter to send it to the core:
       TOGGMEN         show or hide JexUI's main window
       :help           the core's console commands
       EXITHALDANOW    end the core and JexUI
     Ctrl+C ends everything as well.
     JexUI's log:    $BIN/jexui.log   (level: [SERVICE] WriteLogFile in JEXUI.INI)
     The core's directory (JEXUI.INI, corvane.log): ${XDG_DATA_HOME:-$HOME/.local/share}/corvane/
INFO

set +e
"$BIN/corvane" "$@"
status=$?
set -e
exit $status
