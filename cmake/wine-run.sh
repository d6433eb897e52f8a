#!/usr/bin/env bash
# Runs a Windows program under Wine, non-interactively and repeatably: CMake's emulator for the
# cross builds, and the runner for GUI checks.
#
#   wine-run.sh [--prefix DIR] [--display] PROGRAM.exe [ARGS...]
#
# --prefix DIR  Wine prefix to use (created on first use). Default: <build folder>/wineprefix,
#               where the build folder is the nearest parent of PROGRAM holding CMakeCache.txt;
#               PV_WINEPREFIX overrides both.
# --display     the program needs an X display: reuse $DISPLAY when it answers, else start a
#               private Xvfb for this run. Also enabled by PV_WINE_DISPLAY=1. Console programs
#               need none (Wine then uses its null display driver).
#
# The program's exit status (low 8 bits, as on any POSIX system) and its stdout/stderr pass
# through. Cost on the 2-core machines: creating the prefix about 15 s, once; then about 0.5 s
# per program when no wineserver is running and 0.13 s when one is (wine64 itself: 25 ms). Runs that need a display are serialised per prefix, because they restart the
# prefix's wineserver so that its desktop talks to the right X server.
set -uo pipefail

die() { echo "wine-run: $*" >&2; exit 125; }

prefix="${PV_WINEPREFIX:-}"
want_display="${PV_WINE_DISPLAY:-0}"
while (($#)); do
  case "$1" in
    --prefix) [[ $# -ge 2 ]] || die "--prefix needs a folder"; [[ -n "${PV_WINEPREFIX:-}" ]] || prefix="$2"; shift 2 ;;
    --display) want_display=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
(($#)) || die "usage: wine-run.sh [--prefix DIR] [--display] PROGRAM.exe [ARGS...]"
program="$1"
shift
[[ -f "$program" ]] || die "no such program: $program"

# --- Which Wine loader: the PE header's machine field tells 32 from 64 bits. -----------------
pe_machine() {
  local off
  off=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [[ -n "$off" ]] || return 1
  od -An -tx2 -j$((off + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}
case "$(pe_machine "$program")" in
  8664) loader=/usr/lib/wine/wine64 ;;
  014c)
    # Without the 32-bit loader, wine64 "runs" a 32-bit program in a broken WoW64 mode and
    # still exits with 0, so refuse rather than report a pass.
    loader=/usr/lib/wine/wine
    [[ -x "$loader" ]] || die "$program is a 32-bit program and the 32-bit Wine loader is not installed (wine32:i386)"
    ;;
  *) die "$program is not a Windows x86 or x86-64 program" ;;
esac
[[ -x "$loader" ]] || die "$loader not found (install wine64; scripts/install-deps.sh does)"
wineserver=/usr/lib/wine/wineserver
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver) || die "wineserver not found"

# --- Prefix: one per build folder, so runs never depend on ~/.wine. ------------------------
if [[ -z "$prefix" ]]; then
  dir=$(cd "$(dirname "$program")" && pwd)
  while [[ "$dir" != / && ! -f "$dir/CMakeCache.txt" ]]; do dir=$(dirname "$dir"); done
  if [[ -f "$dir/CMakeCache.txt" ]]; then
    prefix="$dir/wineprefix"
  else
    prefix="${XDG_CACHE_HOME:-$HOME/.cache}/plotvane/wineprefix"
  fi
fi
mkdir -p "$(dirname "$prefix")" || die "cannot create $(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono/Gecko install prompts, and no menu entries or file associations in $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINEARCH WINESERVER WINELOADER

# Lock file descriptors are closed for every Wine process (8>&- 9>&-): Wine's helper processes
# outlive the program and would otherwise keep holding the locks.
exec 8>"$prefix.lock" 9>"$prefix.runlock" || die "cannot open lock files next to $prefix"

xvfb_pid=""
# shellcheck disable=SC2317  # called by the traps
cleanup() {
  if [[ -n "$xvfb_pid" ]]; then
    # The desktop process holds a connection to the X server: stop Wine before the server.
    "$wineserver" -k 8>&- 9>&- >/dev/null 2>&1
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
  if [[ -n "${xvfb_fdfile:-}" ]]; then rm -f "$xvfb_fdfile"; fi
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

if [[ "$want_display" == 1 ]]; then
  flock -x 9
  if ! display_answers "${DISPLAY:-}"; then
    command -v Xvfb >/dev/null 2>&1 || die "no X display and Xvfb is not installed (scripts/install-deps.sh --gui)"
    # -displayfd makes the server pick a free display number itself and report it when ready.
    xvfb_fdfile=$(mktemp)
    Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp -noreset 7>"$xvfb_fdfile" 8>&- 9>&- \
      </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [[ -s "$xvfb_fdfile" ]] && break
      kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start"
      sleep 0.05
    done
    n=$(tr -dc 0-9 <"$xvfb_fdfile")
    [[ -n "$n" ]] || die "Xvfb did not report its display"
    export DISPLAY=":$n"
  fi
  # A wineserver left by console runs has a desktop without a display driver: start afresh.
  "$wineserver" -k 8>&- 9>&- >/dev/null 2>&1
  "$wineserver" -w 8>&- 9>&- >/dev/null 2>&1
else
  flock -s 9
fi

# --- First use creates the prefix; later uses start Wine's session quietly. ------------------
flock -x 8
if [[ ! -f "$prefix/.pv-ready" ]]; then
  if [[ -e "$prefix" ]]; then
    # Only ever remove what an interrupted creation left behind.
    [[ -d "$prefix/dosdevices" || -z "$(ls -A "$prefix" 2>/dev/null)" ]] \
      || die "$prefix exists and is not a Wine prefix"
    rm -rf "$prefix"
  fi
  echo "wine-run: creating Wine prefix $prefix (once, about 15 s)" >&2
  if ! "$loader" wineboot -i </dev/null >"$prefix-boot.log" 2>&1 8>&- 9>&-; then
    die "wineboot failed, see $prefix-boot.log"
  fi
  # Let the registry be written out before the prefix counts as ready.
  "$wineserver" -w 8>&- 9>&-
  touch "$prefix/.pv-ready"
fi
# Wine's background processes (services, explorer, ...) start with the first program of a
# session and inherit its stdout/stderr; started by this no-op with /dev/null instead, they
# cannot keep the caller's pipes open for seconds after the program exits.
"$loader" cmd /c exit </dev/null >/dev/null 2>&1 8>&- 9>&-
flock -u 8

# In the background so that a timeout's TERM reaches the program; <&0 keeps stdin connected.
"$loader" "$program" "$@" <&0 8>&- 9>&- &
child=$!
trap 'kill "$child" 2>/dev/null; exit 143' TERM
trap 'kill "$child" 2>/dev/null; exit 130' INT
wait "$child"
status=$?
exit "$status"
