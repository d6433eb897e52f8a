# Sourced by the Wine GUI stages (50-wine-viewer.sh, 60-wine-gridfold.sh); not executable, so the
# test command does not run it itself. A stage defines stage_inputs (writes its inputs to $IN)
# and its scenario functions, then calls
#
#   stage_main NAME "SCENARIOS ENOUGH UNDER EMULATION" SCENARIO...
#
# Every stage checks two builds in turn: win64 (build/win64/bin, the fast loop) and win32, the
# programs of the release ZIP as users get them. Where 32-bit programs run under qemu's user-mode
# emulation (about 45 s per start), the win32 run keeps to the scenarios the stage lists as
# enough to cover every flow once; the others run on win64 only, and the summary names them.
#
# Scenario S is the function scenario_S, run with BIN (the programs under test), OUT (its scratch
# folder for this build), LABEL (win64 or win32) and SCALE (how much longer waits may take) set.
# Its helpers:
#
#   check NAME COMMAND...       one counted result, named with the build under test
#   give_up MESSAGE             end the stage as failed
#   cannot_run MESSAGE          end the stage as not run: this machine lacks what it needs
#   drive NAME STEPS...         one pv_wine_driver run; its output, without CRs, in $OUT/NAME.out
#   wine_run PROGRAM ARGS...    a program of the build under test
#   has_line, value_of, same_file, error_stream, compare_preview, holds
#
# Environment (all optional): PV_NATIVE_CLI (the reference plotvane-cli), PV_KEEP=1 (keep the
# scratch folder), PV_UPDATE_DOCS=1 (copy the win64 screenshots to docs/).

ROOT=${PV_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
# shellcheck source=../wine-env.sh
source "$ROOT/scripts/wine-env.sh"
PASSED=0
FAILED=0
NOT_RUN=
BEGIN=$SECONDS
WIN64_ONLY=()
LABEL=setup

log() { printf '%s\n' "$*"; }
check() {
  local name=$1
  shift
  if "$@"; then
    PASSED=$((PASSED + 1))
    log "ok   [$LABEL] $name"
  else
    FAILED=$((FAILED + 1))
    log "FAIL [$LABEL] $name"
  fi
}

stage_cleanup() {
  # A scenario that changed the shared prefix's DPI and was cut short leaves it as it was.
  [ "${STAGE_DPI:-96}" = 96 ] || wine_env_dpi 96
  wine_env_stop
  if [ "${PV_KEEP:-0}" = 1 ]; then log "scratch kept in $WORK"; else rm -rf "$WORK"; fi
}

stage_main() {
  STAGE=$1
  EMULATED_WIN32=$2
  shift 2
  WORK=$(mktemp -d "/tmp/pv-$STAGE.XXXXXX")
  trap stage_cleanup EXIT
  stage_setup
  IN=$WORK/in
  mkdir -p "$IN"
  stage_inputs
  run_builds "$@"
  stage_end
}

give_up() {
  log "$STAGE: $*"
  log "$STAGE: $PASSED passed, $((FAILED + 1)) failed"
  exit 1
}

# What this machine lacks, not a failure of the programs: the test command reports the stage as
# not run, with this reason.
cannot_run() {
  log "$STAGE: not run: $*"
  [ -z "${PV_NOT_RUN_FILE:-}" ] || printf '%s\n' "$*" >"$PV_NOT_RUN_FILE"
  exit 77
}

# Configures once, then builds only the targets named.
build_preset() {
  local preset=$1
  shift
  (cd "$ROOT" && { [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset"; } &&
    cmake --build --preset "$preset" --target "$@") >"$WORK/build-$preset.log" 2>&1 ||
    { tail -30 "$WORK/build-$preset.log"; give_up "the $preset build failed"; }
}

stage_setup() {
  build_preset win64 plotvane gridfold plotvane-cli pv_wine_driver pv_fpu_probe
  build_preset win32 pv_fpu_probe
  DRIVER=$ROOT/build/win64/bin/pv_wine_driver.exe
  CLI=${PV_NATIVE_CLI:-}
  if [ -z "$CLI" ]; then
    build_preset native plotvane-cli
    CLI=$ROOT/build/native/bin/plotvane-cli
  fi
  # The programs users get: unpacked from the release ZIP, which the release stage made.
  local version zip
  version=$(sed -n 's/^project(plotvane VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
  zip=$ROOT/build/release/plotvane-$version-win32.zip
  [ -f "$zip" ] || (cd "$ROOT" && bash scripts/make-release.sh) >"$WORK/release.log" 2>&1 ||
    { tail -20 "$WORK/release.log"; give_up "the release ZIP could not be made"; }
  python3 -m zipfile -e "$zip" "$WORK/zip" || give_up "cannot unpack $zip"
  ZIP_BIN=$WORK/zip/plotvane-$version-win32
  wine_env_xvfb "$WORK" || cannot_run "$WINE_ENV_ERROR"
  # The Japanese locale makes Wine's code page 932.
  wine_env_locale "$WORK" || cannot_run "$WINE_ENV_ERROR"
  wine_env_prefix "${PV_WINEPREFIX:-$WINE_ENV_PREFIX}" "$WORK/wineboot.log" || cannot_run "$WINE_ENV_ERROR"
  # The server lives for the whole run, from before any run with a file-size limit.
  wine_env_server "$WORK/wineserver.log"
  # Without a window manager on the display, Wine draws the captions itself.
  wine_env_undecorated N
}

# use_build win64|win32: the programs under test, the scratch folder of their run and how much
# longer their waits may take.
use_build() {
  LABEL=$1
  OUT=$WORK/$LABEL
  mkdir -p "$OUT"
  SCALE=1
  if [ "$LABEL" = win64 ]; then
    BIN=$ROOT/build/win64/bin
    PROBE=$BIN/pv_fpu_probe.exe
    WINDRES=x86_64-w64-mingw32-windres
  else
    BIN=$ZIP_BIN
    PROBE=$ROOT/build/win32/bin/pv_fpu_probe.exe
    WINDRES=i686-w64-mingw32-windres
    wine_env_emulated && SCALE=10
  fi
  export PV_DRIVER_TIME_SCALE=$SCALE
}

# Whether the build's programs start here at all; else the reason in NOT_RUN.
programs_start() {
  local out
  out=$(wine_run "$PROBE" 2>&1)
  [ $? = 0 ] && [[ "$out" == *extended=* ]] && return 0
  NOT_RUN="${NOT_RUN:+$NOT_RUN; }the $LABEL programs do not start under Wine here: $(printf '%s\n' "$out" | tr -d '\r' | grep -v '^ *$' | tail -1)"
  return 1
}

run_builds() {
  local build scenario
  for build in ${PV_BUILDS:-win64 win32}; do
    use_build "$build"
    programs_start || { log "     $NOT_RUN"; continue; }
    for scenario in "$@"; do
      if [ "$build" = win32 ] && [ "$SCALE" != 1 ] && [[ " $EMULATED_WIN32 " != *" $scenario "* ]]; then
        WIN64_ONLY+=("$scenario")
        continue
      fi
      "scenario_$scenario"
    done
  done
}

stage_end() {
  local note=""
  ((${#WIN64_ONLY[@]})) && note="; win32 runs under emulation, so these ran on win64 only: ${WIN64_ONLY[*]}"
  log "$STAGE: $PASSED passed, $FAILED failed ($((SECONDS - BEGIN)) s$note)"
  [ "$FAILED" -eq 0 ] || exit 1
  [ -z "$NOT_RUN" ] || cannot_run "$NOT_RUN"
}

# drive NAME STEPS...: one driver run; its output, without CRs, in $OUT/NAME.out. Written to a
# file, not a pipe: a program that hangs on a box would hold a pipe open.
drive() {
  local name=$1 status
  shift
  timeout $((180 * SCALE)) "$WINE_ENV_WINE64" "$DRIVER" "$@" >"$OUT/$name.raw" 2>"$OUT/$name.wine-err"
  status=$?
  tr -d '\r' <"$OUT/$name.raw" >"$OUT/$name.out"
  if [ $status -ne 0 ] || grep -q '^FAIL' "$OUT/$name.out"; then
    log "---- [$LABEL] driver run $name (status $status):"
    sed 's/^/     /' "$OUT/$name.out"
    # Whatever is left of this scenario must not meet the next one; a server started under a
    # file-size limit would keep it, so that one waits for the caller.
    [ "$(ulimit -f)" = unlimited ] && wine_env_server "$WORK/wineserver.log"
    return 1
  fi
  return 0
}

# wine_run PROGRAM ARGS...: a program of the build under test, with the loader its header asks for.
wine_run() {
  local loader
  loader=$(wine_env_loader "$1") || return 125
  "$loader" "$@"
}

has_line() { grep -qxF -- "$2" "$OUT/$1.out" || { log "     $1: no line '$2'"; return 1; }; }
value_of() { grep -m1 "^$2 " "$OUT/$1.out" | cut -d' ' -f2-; }
# What a program wrote to its error stream, as UTF-8 without CRs.
error_stream() { iconv -f CP932 -t UTF-8 "$OUT/$1" | tr -d '\r'; }
same_file() { cmp -s "$1" "$2" || { log "     $1 differs from $2"; return 1; }; }
# holds DIR NAMES...: DIR holds exactly these files.
holds() {
  local dir=$1 seen expected
  shift
  seen=$(ls -A "$dir" | LC_ALL=C sort | tr '\n' '|')
  expected=$(printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort | tr '\n' '|')
  [ "$seen" = "$expected" ] || { log "     $dir holds '$seen', expected '$expected'"; return 1; }
}
# compare_preview NAME CAPTURE INPUT AREA [--2d]: a capture in $OUT against the reference
# rasterizer's picture of INPUT.
compare_preview() {
  "$CLI" preview ${5:-} --area "$4" "$3" - >"$OUT/$1.ops" &&
    "$CLI" preview ${5:-} --area "$4" "$3" "$OUT/$1.ref.ppm" &&
    python3 "$ROOT/tests/wine/compare_preview.py" "$OUT/$2" "$OUT/$1.ref.ppm" "$OUT/$1.ops" >"$OUT/$1.cmp"
  local status=$?
  sed 's/^/     /' "$OUT/$1.cmp"
  return $status
}
