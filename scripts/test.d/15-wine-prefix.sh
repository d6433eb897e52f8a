#!/usr/bin/env bash
# A Wine prefix made before the 32-bit loader was installed (the main job makes one on a fresh
# machine) has no 32-bit half, and no wineboot completes it: the shipped 32-bit programs cannot
# start in it ("could not load kernel32.dll"). cmake/wine-run.sh must make such a prefix again
# before a 32-bit program runs. Here a fresh prefix loses its syswow64 folder's contents, as one
# made by wine64 alone has none, keeps the mark of a ready prefix, and a 32-bit program started
# through wine-run.sh must run.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root" || exit 1
# shellcheck source=../wine-env.sh
source scripts/wine-env.sh

say() { printf 'wine-prefix: %s\n' "$*"; }
# What this machine lacks: the test command reports the stage as not run, with this reason.
cannot_run() {
  say "not run: $*"
  [ -z "${PV_NOT_RUN_FILE:-}" ] || printf '%s\n' "$*" >"$PV_NOT_RUN_FILE"
  exit 77
}
[ -x "$WINE_ENV_WINE32" ] || cannot_run "the 32-bit Wine loader is not installed (scripts/install-deps.sh --win32-run)"
probe=build/win32/bin/pv_fpu_probe.exe
cmake --build --preset win32 --target pv_fpu_probe >/dev/null || { say "the win32 build failed"; exit 1; }

work=$(mktemp -d /tmp/pv-wine-prefix.XXXXXX)
prefix=$work/prefix
cleanup() {
  WINEPREFIX=$prefix "$WINE_ENV_SERVER" -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
unset PV_WINEPREFIX

wine_env_prefix "$prefix" "$work/boot.log" 2>/dev/null || cannot_run "$WINE_ENV_ERROR"
"$WINE_ENV_SERVER" -k >/dev/null 2>&1
"$WINE_ENV_SERVER" -w >/dev/null 2>&1
rm -rf "$prefix/drive_c/windows/syswow64"/*
[ -f "$prefix/.pv-ready" ] || { say "the prefix is not marked ready"; exit 1; }

cmake/wine-run.sh --prefix "$prefix" "$probe" >"$work/probe.out" 2>"$work/probe.err"
status=$?
sed 's/^/     /' "$work/probe.err" | grep -v '^ *$' | tail -3
if [ "$status" = 0 ] && grep -q 'extended=yes' "$work/probe.out"; then
  say "a prefix without its 32-bit half was made again, and the 32-bit probe ran: $(tr -d "\r\n" <"$work/probe.out")"
  exit 0
fi
say "FAIL: the 32-bit probe did not run in a prefix without its 32-bit half (exit $status)"
exit 1
