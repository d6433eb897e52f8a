# Sourced by the Wine test stages and the gridfold demo: a private Xvfb display, the Japanese
# locale (so that Wine's code page is 932) and a private Wine prefix. The functions return
# non-zero after a failure, with the reason in WINE_ENV_ERROR.
#
#   wine_env_xvfb SCRATCH        start Xvfb on a free display; exports DISPLAY
#   wine_env_locale SCRATCH      LANG=ja_JP.UTF-8, built into SCRATCH/locale when the system lacks it
#   wine_env_prefix PREFIX LOG   WINEPREFIX=PREFIX, made on first use (wineboot's output in LOG),
#                                and its server started
#   wine_env_server LOG          start the prefix's server again (after wineserver -k)
#   wine_env_undecorated Y|N     N: Wine draws the captions itself (no window manager on Xvfb)
#   wine_env_stop                end the prefix's Wine processes, then the Xvfb started here
#   wine_env_screenshot INFO PNG the screen rectangle "window=X0,Y0,X1,Y1" of a driver's
#                                dialog-info line in file INFO, saved as PNG
#   wine_env_window_size INFO    that rectangle's size, as WIDTHxHEIGHT
#   winpath PATH                 the absolute POSIX PATH as Wine's Z: drive shows it

WINE_ENV_ERROR=
WINE_ENV_XVFB_PID=

wine_env_xvfb() {
  local scratch=$1 display
  # -displayfd: the server picks a free display itself and reports it once it is ready.
  Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
  WINE_ENV_XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  display=$(tr -dc 0-9 <"$scratch/display")
  if [ -z "$display" ]; then
    WINE_ENV_ERROR="Xvfb did not start (see $scratch/xvfb.log)"
    return 1
  fi
  export DISPLAY=":$display"
}

wine_env_locale() {
  local scratch=$1
  if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
    if [ ! -d "$scratch/locale/ja_JP.UTF-8" ]; then
      mkdir -p "$scratch/locale"
      localedef -i ja_JP -f UTF-8 "$scratch/locale/ja_JP.UTF-8" >"$scratch/localedef.log" 2>&1
    fi
    if [ ! -d "$scratch/locale/ja_JP.UTF-8" ]; then
      WINE_ENV_ERROR="cannot build the ja_JP.UTF-8 locale (see $scratch/localedef.log)"
      return 1
    fi
    export LOCPATH=$scratch/locale
  fi
  export LANG=ja_JP.UTF-8
}

wine_env_prefix() {
  local prefix=$1 log=$2
  # No Mono/Gecko prompts, no menu entries or file associations outside the prefix.
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset WINEARCH WINESERVER WINELOADER
  # A server left by an earlier session may hold a desktop on a display that is gone; -k only
  # asks it to end, -w waits until it has.
  if [ -d "$prefix" ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  if [ ! -f "$prefix/.pv-ready" ]; then
    if [ -e "$prefix" ]; then
      # Only ever remove what an interrupted wineboot left behind.
      if [ ! -d "$prefix/dosdevices" ] && [ -n "$(ls -A "$prefix" 2>/dev/null)" ]; then
        WINE_ENV_ERROR="$prefix exists and is not a Wine prefix"
        return 1
      fi
      rm -rf "$prefix"
    fi
    if ! wineboot -i >"$log" 2>&1; then
      WINE_ENV_ERROR="wineboot failed (see $log)"
      return 1
    fi
    # The registry is written out before the prefix counts as made.
    wineserver -w
    touch "$prefix/.pv-ready"
  fi
  wine_env_server "$log"
}

# One server for the whole session, started before any run with a file-size limit (and gone a
# minute after the last program, should the caller be killed). Its messages go to LOG: a server
# that kept the caller's output open would hold up a pipe reading it.
wine_env_server() {
  # A server that is running already (status 2) serves as well.
  wineserver -p60 </dev/null >/dev/null 2>>"$1" || true
}

wine_env_undecorated() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1
}

wine_env_stop() {
  # The desktop process holds a connection to the X server: Wine goes first.
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1; fi
  if [ -n "$WINE_ENV_XVFB_PID" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null
    WINE_ENV_XVFB_PID=
  fi
}

# The last window rectangle in a driver's output, as "X0 Y0 X1 Y1".
wine_env_window_rect() {
  local rect
  rect=$(sed -n 's/.* window=\([-0-9]*\),\([-0-9]*\),\([-0-9]*\),\([-0-9]*\).*/\1 \2 \3 \4/p' "$1" | tail -1)
  printf '%s\n' "${rect:-0 0 0 0}"
}

wine_env_window_size() {
  local x0 y0 x1 y1
  read -r x0 y0 x1 y1 < <(wine_env_window_rect "$1")
  printf '%dx%d\n' "$((x1 - x0))" "$((y1 - y0))"
}

wine_env_screenshot() {
  local info=$1 png=$2 x0 y0 x1 y1
  read -r x0 y0 x1 y1 < <(wine_env_window_rect "$info")
  if [ "$x1" -le "$x0" ] || [ "$y1" -le "$y0" ]; then
    WINE_ENV_ERROR="no window rectangle in $info"
    return 1
  fi
  if ! import -window root -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$png" 2>"$png.log"; then
    WINE_ENV_ERROR="import failed (see $png.log)"
    return 1
  fi
  rm -f "$png.log"
}

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
