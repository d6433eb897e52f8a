# The one way this project sets up Wine and a virtual display, sourced by cmake/wine-run.sh (the
# cross builds' test runner), the GUI tests' lanes (scripts/gui-lanes.sh), the Wine prefix test
# and the gridfold demo. The functions return non-zero after a failure, with the reason in
# WINE_ENV_ERROR (wine_env_loader, which is called in a command substitution, says it on stderr).
#
#   wine_env_loader PROGRAM      the Wine loader for PROGRAM.exe by its PE header: wine64 for x86-64,
#                                the 32-bit loader for i386
#   wine_env_emulated            true when 32-bit programs run under qemu's user-mode emulation
#   wine_env_xvfb SCRATCH        start Xvfb on a free display; exports DISPLAY
#   wine_env_locale SCRATCH [L]  LANG=L (default ja_JP.UTF-8: Wine's code page 932), built into
#                                SCRATCH/locale when the system lacks it
#   wine_env_prefix PREFIX LOG   WINEPREFIX=PREFIX, made on first use (wineboot's output in LOG)
#   wine_env_server LOG          start the prefix's server, for the whole session
#   wine_env_undecorated Y|N     N: Wine draws the captions itself (no window manager on Xvfb)
#   wine_env_dpi N               the screen's DPI for programs started after (96: 100 %)
#   wine_env_stop                end the prefix's Wine processes, then the Xvfb started here
#   winpath PATH                 the absolute POSIX PATH as Wine's Z: drive shows it
#
# WINE_ENV_PREFIX is the prefix the test command shares between the unit tests of both Windows
# builds and, as the start of their own, the GUI tests' lanes: once the 32-bit loader is
# installed, every new prefix also sets up its 32-bit half, which takes minutes under emulation.

WINE_ENV_ERROR=
WINE_ENV_XVFB_PID=
WINE_ENV_PREFIX=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wineprefix
WINE_ENV_WINE64=/usr/lib/wine/wine64
WINE_ENV_WINE32=/usr/lib/wine/wine
WINE_ENV_SERVER=/usr/lib/wine/wineserver

wine_env_loader() {
  local off machine
  off=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$off" ] && machine=$(od -An -tx2 -j$((off + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
  case "${machine:-}" in
    8664) printf '%s\n' "$WINE_ENV_WINE64" ;;
    014c)
      # Without the 32-bit loader, wine64 "runs" a 32-bit program in a broken mode and still exits
      # with 0: refuse rather than let that pass.
      if [ ! -x "$WINE_ENV_WINE32" ]; then
        echo "wine-env: $1 is a 32-bit program and the 32-bit Wine loader is missing (scripts/install-deps.sh --win32-run)" >&2
        return 1
      fi
      printf '%s\n' "$WINE_ENV_WINE32"
      ;;
    *) echo "wine-env: $1 is not a Windows x86 or x86-64 program" >&2; return 1 ;;
  esac
}

wine_env_emulated() {
  [ "$(head -n1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null)" = enabled ]
}

wine_env_xvfb() {
  local scratch=$1 display
  # -displayfd: the server picks a free display itself and reports it once it is ready.
  Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp -noreset 7>"$scratch/display" </dev/null \
    >"$scratch/xvfb.log" 2>&1 8>&- 9>&- &
  WINE_ENV_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  display=$(tr -dc 0-9 <"$scratch/display" 2>/dev/null)
  if [ -z "$display" ]; then
    WINE_ENV_ERROR="Xvfb did not start (see $scratch/xvfb.log)"
    return 1
  fi
  export DISPLAY=":$display"
}

wine_env_locale() {
  local scratch=$1 name=${2:-ja_JP.UTF-8}
  if ! locale -a 2>/dev/null | grep -qiE "^${name%%.*}\.utf-?8$"; then
    if [ ! -d "$scratch/locale/$name" ]; then
      mkdir -p "$scratch/locale"
      localedef -i "${name%%.*}" -f UTF-8 "$scratch/locale/$name" >"$scratch/localedef.log" 2>&1
    fi
    if [ ! -d "$scratch/locale/$name" ]; then
      WINE_ENV_ERROR="cannot build the $name locale (see $scratch/localedef.log)"
      return 1
    fi
    export LOCPATH=$scratch/locale
  fi
  unset LC_ALL
  export LANG=$name
}

# True when the 32-bit loader is installed and the prefix lacks the 32-bit half it needs: a
# prefix made before wine32 was installed, whoever made it, has an empty syswow64, and no wineboot
# fills it in.
wine_env_lacks_win32() {
  [ -x "$WINE_ENV_WINE32" ] && [ ! -f "$1/drive_c/windows/syswow64/kernel32.dll" ]
}

# Made once under a lock (ctest runs tests in parallel), with the 64-bit loader: its prefix runs
# both builds. A prefix without the 32-bit half that the installed loader needs is made again.
# The dialog's font, ＭＳ Ｐゴシック, as Windows has it in every locale (Wine finds a Japanese face
# for it only in a Japanese one): IPA's proportional Gothic stands in. Once per prefix.
wine_env_fonts() {
  [ -f "$1/.pv-fonts" ] && return 0
  "$WINE_ENV_WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f \
    </dev/null >/dev/null 2>&1 || return 1
  "$WINE_ENV_SERVER" -w
  touch "$1/.pv-fonts"
}

wine_env_prefix() {
  local prefix=$1 log=$2
  # No Mono/Gecko prompts, no menu entries or file associations outside the prefix.
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset WINEARCH WINESERVER WINELOADER
  mkdir -p "$(dirname "$prefix")"
  (
    flock -x 8
    if [ -f "$prefix/.pv-ready" ]; then
      wine_env_lacks_win32 "$prefix" || { wine_env_fonts "$prefix" 7>&- 8>&- || exit 6; exit 0; }
      echo "wine-env: $prefix has no 32-bit half (it was made before the 32-bit loader was installed): making it again" >&2
      # Not while a program runs in it (cmake/wine-run.sh holds this lock shared while it does).
      flock -x 7
      "$WINE_ENV_SERVER" -k >/dev/null 2>&1
      "$WINE_ENV_SERVER" -w >/dev/null 2>&1
      rm -rf "$prefix"
    elif [ -e "$prefix" ]; then
      # Only ever remove what an interrupted wineboot left behind.
      [ -d "$prefix/dosdevices" ] || [ -z "$(ls -A "$prefix" 2>/dev/null)" ] || exit 3
      rm -rf "$prefix"
    fi
    echo "wine-env: creating the Wine prefix $prefix (once)" >&2
    "$WINE_ENV_WINE64" wineboot -i </dev/null >"$log" 2>&1 7>&- 8>&- || exit 4
    # The registry is written out before the prefix counts as made.
    "$WINE_ENV_SERVER" -w 7>&- 8>&-
    wine_env_lacks_win32 "$prefix" && exit 5
    touch "$prefix/.pv-ready"
    wine_env_fonts "$prefix" 7>&- 8>&- || exit 6
  ) 7>"$prefix.runlock" 8>"$prefix.lock"
  case $? in
    0) return 0 ;;
    3) WINE_ENV_ERROR="$prefix exists and is not a Wine prefix" ;;
    5) WINE_ENV_ERROR="wineboot made $prefix without its 32-bit half (see $log)" ;;
    6) WINE_ENV_ERROR="the dialog font could not be registered in $prefix" ;;
    *) WINE_ENV_ERROR="wineboot failed (see $log)" ;;
  esac
  return 1
}

# One server for the whole session, started before any run with a file-size limit (and gone a
# minute after the last program, should the caller be killed). A server left by an earlier
# session may hold a desktop on a display that is gone: it is ended first. Its messages go to
# LOG: a server that kept the caller's output open would hold up a pipe reading it.
wine_env_server() {
  "$WINE_ENV_SERVER" -k >/dev/null 2>&1
  "$WINE_ENV_SERVER" -w >/dev/null 2>&1
  "$WINE_ENV_SERVER" -p60 </dev/null >/dev/null 2>>"$1" || true
}

# wine_env_dpi N: the prefix's screen resolution in DPI (96 is 100 %), for programs started after.
wine_env_dpi() {
  "$WINE_ENV_WINE64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

wine_env_undecorated() {
  "$WINE_ENV_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1
}

wine_env_stop() {
  # The desktop process holds a connection to the X server: Wine goes first.
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then "$WINE_ENV_SERVER" -k >/dev/null 2>&1; fi
  if [ -n "$WINE_ENV_XVFB_PID" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null
    WINE_ENV_XVFB_PID=
  fi
}

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
