#!/usr/bin/env bash
# A prefix made before the 32-bit loader was installed (the main job makes one on a fresh
# machine) has no 32-bit half, and no wineboot completes it: the shipped 32-bit programs cannot
# start in it ("could not load kernel32.dll"). Here a fresh prefix loses its syswow64 folder's
# contents, as one made by wine64 alone has none, and keeps the mark of a ready prefix; the
# 32-bit probe then runs through cmake/wine-run.sh, which must make the prefix again. The probe's
# exit status is the test's.
#
#   prefix_without_win32_half.sh WORK PV_FPU_PROBE.EXE
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=../../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
work=$1 probe=$2
[ -x "$WINE_ENV_WINE32" ] || { echo "the 32-bit Wine loader is not installed (scripts/install-deps.sh --win32-run)"; exit 77; }
rm -rf "$work"
trap 'WINEPREFIX=$work/prefix "$WINE_ENV_SERVER" -k >/dev/null 2>&1; rm -rf "$work"' EXIT
unset PV_WINEPREFIX
wine_env_prefix "$work/prefix" "$work/boot.log" 2>/dev/null || { echo "$WINE_ENV_ERROR"; exit 77; }
"$WINE_ENV_SERVER" -k >/dev/null 2>&1
"$WINE_ENV_SERVER" -w >/dev/null 2>&1
rm -rf "$work/prefix/drive_c/windows/syswow64"/*
[ -f "$work/prefix/.pv-ready" ] || { echo "the prefix is not marked ready"; exit 1; }
"$root/cmake/wine-run.sh" --prefix "$work/prefix" "$probe"
