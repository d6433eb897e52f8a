#!/usr/bin/env bash
# Runs a Windows program under Wine, non-interactively and repeatably: CMake's emulator for the
# cross builds, their unit tests and GUI tests. Wine and Xvfb are set up by scripts/wine-env.sh.
#
#   wine-run.sh [--prefix DIR] [--display] [--gui LANES] PROGRAM.exe [ARGS...]
#
# --prefix DIR  Wine prefix to use (made on first use). Default: the prefix the test command
#               shares (build/wineprefix); PV_WINEPREFIX overrides both.
# --display     the program needs an X display: reuse $DISPLAY when it answers, else start a
#               private Xvfb for this run. Also enabled by PV_WINE_DISPLAY=1. Console programs
#               need none (Wine then uses its null display driver).
# --gui LANES   a GUI test (tests/gui/): it runs in the lane CTest gave it (scripts/gui-lanes.sh,
#               LANES their folder), with that lane's display, prefix and server, in the locale
#               PV_GUI_LOCALE (default ja_JP.UTF-8) and under the file-size limit PV_GUI_FILE_LIMIT
#               (KB) when given; the lane is held for the run. Listing the tests needs no lane.
#
# The program's exit status (low 8 bits, as on any POSIX system) and its stdout/stderr pass
# through; 125 when the program cannot run here at all. 32-bit programs run with the 32-bit
# loader, natively where the kernel runs 32-bit programs and under qemu's user-mode emulation
# elsewhere (about 45 s per start). Runs with --display are serialised per prefix, because they
# restart the prefix's wineserver so that its desktop talks to the right X server.
set -uo pipefail

# Listing a test program's cases where it cannot run lists none, so that CTest still runs the
# rest; the fixture wine.prefix then says why the Wine tests are missing.
listing=0
[[ " $* " == *" --gtest_list_tests "* ]] && listing=1
die() { echo "wine-run: $*" >&2; exit $((listing ? 0 : 125)); }

# shellcheck source=../scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/wine-env.sh"

prefix="${PV_WINEPREFIX:-}"
want_display="${PV_WINE_DISPLAY:-0}"
lanes=""
while (($#)); do
  case "$1" in
    --prefix) [[ $# -ge 2 ]] || die "--prefix needs a folder"; [[ -n "${PV_WINEPREFIX:-}" ]] || prefix="$2"; shift 2 ;;
    --display) want_display=1; shift ;;
    --gui) [[ $# -ge 2 ]] || die "--gui needs the lanes' folder"; lanes="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
(($#)) || die "usage: wine-run.sh [--prefix DIR] [--display] [--gui LANES] PROGRAM.exe [ARGS...]"
program="$1"
shift
[[ -f "$program" ]] || die "no such program: $program"
loader=$(wine_env_loader "$program") || die "no Wine loader for $program"
[[ -x "$loader" && -x "$WINE_ENV_SERVER" ]] || die "Wine is not installed (scripts/install-deps.sh --windows)"
"$loader" --version >/dev/null 2>&1 || die "the Wine loader $loader does not start here (scripts/install-deps.sh --win32-run)"
if [[ -n "$lanes" && "$listing" == 0 ]]; then
  lane=${CTEST_RESOURCE_GROUP_0_LANES:-id:0}
  lane=${lane#id:}
  lane=${lane%%,*}
  [[ -s "$lanes/$lane/display" ]] || die "GUI lane $lane is not up (scripts/gui-lanes.sh up)"
  exec 9>"$lanes/$lane.lock" && flock -x 9
  export DISPLAY=:$(tr -dc 0-9 <"$lanes/$lane/display")
  wine_env_locale "$lanes" "${PV_GUI_LOCALE:-ja_JP.UTF-8}" || die "$WINE_ENV_ERROR"
  wine_env_prefix "$lanes/$lane/prefix" "$lanes/$lane/wineboot.log" 9>&- || die "$WINE_ENV_ERROR"
  if [[ -n "${PV_GUI_FILE_LIMIT:-}" ]]; then
    trap '' XFSZ
    ulimit -f "$PV_GUI_FILE_LIMIT"
  fi
else
  prefix=${prefix:-$WINE_ENV_PREFIX}
  mkdir -p "$(dirname "$prefix")" || die "cannot create $(dirname "$prefix")"
  prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

  # The run lock's descriptor is closed for every Wine process (9>&-): Wine's helper processes
  # outlive the program and would otherwise keep holding it.
  exec 9>"$prefix.runlock" || die "cannot open a lock file next to $prefix"

  scratch=""
  # shellcheck disable=SC2317  # called by the traps
  cleanup() {
    if [[ -n "$WINE_ENV_XVFB_PID" ]]; then wine_env_stop 9>&-; fi
    if [[ -n "$scratch" ]]; then rm -rf "$scratch"; fi
  }
  trap cleanup EXIT
  trap 'exit 143' TERM
  trap 'exit 130' INT

  display_answers() {
    [[ -n "${1:-}" ]] || return 1
    if command -v xdpyinfo >/dev/null 2>&1; then
      xdpyinfo -display "$1" >/dev/null 2>&1
    else
      local n="${1#:}"; n="${n%%.*}"
      [[ -S "/tmp/.X11-unix/X$n" ]]
    fi
  }

  wine_env_prefix "$prefix" "$prefix-boot.log" 9>&- || die "$WINE_ENV_ERROR"
  if [[ "$want_display" == 1 ]]; then
    flock -x 9
    if ! display_answers "${DISPLAY:-}"; then
      command -v Xvfb >/dev/null 2>&1 || die "no X display and Xvfb is not installed (scripts/install-deps.sh --gui)"
      scratch=$(mktemp -d)
      wine_env_xvfb "$scratch" || die "$WINE_ENV_ERROR"
    fi
    # A wineserver left by console runs has a desktop without a display driver: start afresh.
    "$WINE_ENV_SERVER" -k 9>&- >/dev/null 2>&1
    "$WINE_ENV_SERVER" -w 9>&- >/dev/null 2>&1
  else
    flock -s 9
  fi

  # Wine's background processes (services, explorer, ...) start with the first program of a
  # session and inherit its stdout/stderr; started by this no-op with /dev/null instead, they
  # cannot keep the caller's pipes open for seconds after the program exits.
  "$WINE_ENV_WINE64" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
fi

# In the background so that a timeout's TERM reaches the program; <&0 keeps stdin connected.
"$loader" "$program" "$@" <&0 9>&- &
child=$!
trap 'kill "$child" 2>/dev/null; exit 143' TERM
trap 'kill "$child" 2>/dev/null; exit 130' INT
wait "$child"
exit $?
