#!/usr/bin/env bash
# Takes a picture of JexUI's main window, or of a dialog in it: builds what is missing, starts a
# virtual display (Xvfb) on a free display number with openbox when it is installed, and a
# private session bus, starts the core (which starts JexUI) with a fresh core directory, shows
# the main window (TOGGMEN on the core's console when it is hidden), sends COMMAND to the core's
# console when one is given (the core passes it on to JexUI as a user's key would, e.g.
# DLGSPEECH opens the voices dialog in the main window) and writes the window's picture to
# build/screenshots/NAME.png. Every process it started is ended again. With WHAT "screen" the
# whole screen is taken instead: a menu that COMMAND pops up (the quick menu) is a window of its
# own beside the main window; with WHAT "front" the window in front is taken (a window of its own
# that COMMAND or KEYS opened: help, read-me, about). KEYS, when given, are typed into the main window after COMMAND
# (xdotool key names, e.g. "e Return o" opens the options from the Extras menu as a user would):
# a dialog reached only by a menu entry has no core command. COMMAND may then be "".
#
#   scripts/screenshot.sh [COMMAND NAME [WHAT [KEYS]]]   (default: the main window, main.png)
#   BUILD_DIR=build/asan scripts/screenshot.sh ...   (default: build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
COMMAND=${1:-}
NAME=${2:-main}
WHAT=${3:-window}
KEYS=${4:-}
BUILD=${BUILD_DIR:-$ROOT/build/default}
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
case $NAME in */* | "") echo "screenshot: NAME must be a plain file name" >&2; exit 2 ;; esac
case $WHAT in window | screen | front) ;; *) echo "screenshot: WHAT is window, front or screen" >&2; exit 2 ;; esac
OUT_DIR=$ROOT/build/screenshots
OUT=$OUT_DIR/$NAME.png
TITLE="Hauptmen"  # the main window with its home child: "Hauptmenü - Halda ..."

TOOLS=(Xvfb dbus-daemon xwininfo import)
[ -n "$KEYS" ] || [ "$WHAT" = front ] && TOOLS+=(xdotool)
for tool in "${TOOLS[@]}"; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

if [ ! -x "$BUILD/bin/corvane" ] || [ ! -x "$BUILD/bin/jexui" ]; then
  [ -f "$BUILD/CMakeCache.txt" ] || cmake --preset default -B "$BUILD" >/dev/null
  cmake --build "$BUILD" --target jexui corvane qmtwcd
fi
BIN=$BUILD/bin

WORK=$(mktemp -d)
XVFB_PID=""
WM_PID=""
DBUS_PID=""
A11Y_PID=""
CORE_PID=""
cleanup() {
  trap - EXIT INT TERM
  exec 4>&- 2>/dev/null || true  # the core's console closes
  if [ -n "$CORE_PID" ]; then
    for _ in $(seq 30); do kill -0 "$CORE_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$CORE_PID" 2>/dev/null || true
  fi
  # JexUI leaves by itself once the core has left the bus.
  if [ -n "${UI_PID:-}" ]; then
    for _ in $(seq 50); do kill -0 "$UI_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$UI_PID" 2>/dev/null || true
  fi
  [ -n "$A11Y_PID" ] && kill "$A11Y_PID" 2>/dev/null || true
  [ -n "$DBUS_PID" ] && kill "$DBUS_PID" 2>/dev/null || true
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

n=99
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
export DISPLAY=":$n"
unset QT_QPA_PLATFORM
# The window manager of scripts/run.sh, so that the picture shows the window as a user sees it
# (the window's own contents are taken, without the frame).
if command -v openbox >/dev/null; then
  openbox --sm-disable >/dev/null 2>&1 &
  WM_PID=$!
fi

dbus-daemon --session --nofork --print-address=3 3>"$WORK/bus" &
DBUS_PID=$!
for _ in $(seq 50); do [ -s "$WORK/bus" ] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$WORK/bus")
export DBUS_SESSION_BUS_ADDRESS
# The accessibility bus on this session bus: the core hears JexUI's windows on it.
if [ -x /usr/libexec/at-spi-bus-launcher ]; then
  setsid /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  A11Y_PID=$!
fi

# SCREENSHOT_INI, when set, is JexUI's settings file of the run (printf escapes: "\r\n").
if [ -n "${SCREENSHOT_INI:-}" ]; then
  mkdir -p "$WORK/core"
  printf '%b' "$SCREENSHOT_INI" >"$WORK/core/JEXUI.INI"
fi
# The core reads its console from a pipe that stays open until the end.
mkfifo "$WORK/console"
"$BIN/corvane" --appdir "$WORK/core" --no-monitor --no-audio <"$WORK/console" >"$WORK/corvane.out" 2>&1 &
CORE_PID=$!
exec 4>"$WORK/console"

# The main window's id (JexUI's window titled with the home child's title), once JexUI is up.
# awk reads to the end: leaving early would end xwininfo by SIGPIPE, which pipefail reports.
window_id() { xwininfo -root -tree 2>/dev/null | awk -v t="$TITLE" '!id && index($0, "(\"jexui\"") && index($0, t) { id = $1 } END { print id }'; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q "IsViewable"; }

WIN=""
for _ in $(seq 150); do
  WIN=$(window_id)
  [ -n "$WIN" ] && break
  sleep 0.1
done
if [ -z "$WIN" ]; then
  echo "screenshot: JexUI's main window did not come up; the core said:" >&2
  cat "$WORK/corvane.out" >&2
  exit 1
fi
# JexUI's process, by the window (the core starts it detached).
UI_PID=$(xprop -id "$WIN" _NET_WM_PID 2>/dev/null | awk '{ print $NF }' | grep -E '^[0-9]+$' || true)

viewable "$WIN" || echo TOGGMEN >&4
for _ in $(seq 50); do viewable "$WIN" && break; sleep 0.1; done
viewable "$WIN" || { echo "screenshot: the main window stays hidden" >&2; exit 1; }
sleep 1  # the information text and the tip are drawn
if [ -n "$COMMAND" ]; then
  # Several commands, separated by ";", one after the other.
  IFS=';' read -r -a COMMANDS <<<"$COMMAND"
  for c in "${COMMANDS[@]}"; do
    echo "$c" >&4
    sleep 1.5  # the dialog is loaded, localised and drawn
  done
fi
if [ -n "$KEYS" ]; then
  # The main window takes the keyboard first (the window manager makes it the active window);
  # each key goes to whichever window has the focus then, as a user's keys do.
  xdotool windowactivate --sync "$WIN" 2>/dev/null || xdotool windowfocus --sync "$WIN"
  read -r -a KEY_LIST <<<"$KEYS"
  for key in "${KEY_LIST[@]}"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.3  # a menu opens before the next key
  done
  sleep 1.5  # the dialog is loaded, localised and drawn
fi

mkdir -p "$OUT_DIR"
if [ "$WHAT" = front ]; then WIN=$(xdotool getactivewindow 2>/dev/null || echo "$WIN"); fi
SHOT=(-id "$WIN")
if [ "$WHAT" = screen ]; then WIN=root; SHOT=(-root); fi
import -window "$WIN" "$OUT"
echo "screenshot: $OUT ($(xwininfo "${SHOT[@]}" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'))"
echo EXITHALDANOW >&4
