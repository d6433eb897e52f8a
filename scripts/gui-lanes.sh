#!/usr/bin/env bash
# The GUI tests' lanes (tests/gui/CMakeLists.txt): each a display of its own (a private Xvfb) and a
# Wine prefix of its own with its own server, so that the tests of two lanes run at once without
# covering each other's windows, counting each other's processes or seeing the other's DPI. A
# lane's prefix starts as a copy of the shared one, its files hard-linked (Wine replaces the
# registry files it writes, and changes no other). CTest gives every GUI test a lane, and
# cmake/wine-run.sh --gui runs the test in it.
#
#   gui-lanes.sh up DIR COUNT PV_GUI_DESKTOP.EXE   end what was left in DIR, then start COUNT lanes
#   gui-lanes.sh down DIR       end the lanes
# Exit status 77: this machine lacks what the lanes need.
set -uo pipefail
shopt -s nullglob
# shellcheck source=wine-env.sh
source "$(dirname "$0")/wine-env.sh"
dir=$(mkdir -p "$2" && cd "$2" && pwd)
fail() { echo "gui-lanes: $1"; exit "${2:-1}"; }

for lane in "$dir"/*/; do
  [ -d "${lane}prefix" ] && WINEPREFIX=${lane}prefix "$WINE_ENV_SERVER" -k >/dev/null 2>&1
  [ -f "${lane}xvfb.pid" ] && kill "$(cat "${lane}xvfb.pid")" 2>/dev/null
  rm -f "${lane}xvfb.pid" "${lane}display"
done
[ "$1" = up ] || exit 0

command -v Xvfb >/dev/null || fail "Xvfb is not installed (scripts/install-deps.sh --gui)" 77
[ -x "$WINE_ENV_WINE64" ] || fail "Wine is not installed (scripts/install-deps.sh --windows)" 77
wine_env_prefix "$WINE_ENV_PREFIX" "$dir/wineboot.log" || fail "$WINE_ENV_ERROR" 77
for locale in en_US.UTF-8 ja_JP.UTF-8; do wine_env_locale "$dir" "$locale" || fail "$WINE_ENV_ERROR" 77; done
for ((n = 0; n < $3; n++)); do
  lane=$dir/$n
  mkdir -p "$lane"
  if [ ! -f "$lane/prefix/.pv-ready" ]; then
    rm -rf "$lane/prefix"
    cp -al "$WINE_ENV_PREFIX" "$lane/prefix" || fail "cannot copy $WINE_ENV_PREFIX"
  fi
  wine_env_xvfb "$lane" || fail "$WINE_ENV_ERROR"
  echo "$WINE_ENV_XVFB_PID" >"$lane/xvfb.pid"
  wine_env_prefix "$lane/prefix" "$lane/wineboot.log" || fail "$WINE_ENV_ERROR"
  # The server, and the desktop its first program starts, live until the lanes go down.
  "$WINE_ENV_SERVER" -p </dev/null >/dev/null 2>>"$lane/wineserver.log"
  # Without a window manager on the display, Wine draws the captions itself.
  wine_env_undecorated N
  wine_env_dpi 96
  # The desktop stays open while the lane is up (tests/gui/hold_desktop.cpp).
  "$WINE_ENV_WINE64" "$4" </dev/null >/dev/null 2>&1 &
  echo "gui-lanes: lane $n on display $DISPLAY, prefix $lane/prefix"
done
