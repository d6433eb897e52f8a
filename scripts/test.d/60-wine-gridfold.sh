#!/usr/bin/env bash
# The real gridfold.exe (win64) under Wine on a private Xvfb display, in a Japanese locale:
# command-line runs write TMPn.csv next to the X,Y,Z list and start the real plotvane.exe on it,
# found in the input's folder, in the working directory or on the search path; a failed check;
# and a viewer found nowhere. The viewer and the message boxes are read by pv_wine_driver.exe.
#
# Environment (all optional):
#   PV_WIN64_BIN   folder holding gridfold.exe, plotvane.exe and pv_wine_driver.exe
#                  (default: build them with the win64 preset, in build/win64)
#   PV_NATIVE_CLI  the native plotvane-cli (default: build it with the native preset)
#   PV_KEEP=1      keep the scratch folder (pictures, driver output) after the run
#   PV_UPDATE_DOCS=1  copy the screenshot of the viewer to docs/gridfold-plotvane.png
set -u

ROOT=${PV_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
# shellcheck source=../wine-env.sh
source "$ROOT/scripts/wine-env.sh"
WORK=$(mktemp -d /tmp/pv-wine-gridfold.XXXXXX)
PASSED=0
FAILED=0
BEGIN=$SECONDS

log() { printf '%s\n' "$*"; }
pass() { PASSED=$((PASSED + 1)); log "ok   $1"; }
fail() { FAILED=$((FAILED + 1)); log "FAIL $1"; }
# check NAME COMMAND...: one counted result.
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}

cleanup() {
  wine_env_stop
  if [ "${PV_KEEP:-0}" = 1 ]; then log "scratch kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

give_up() {
  log "wine-gridfold: $*"
  log "wine-gridfold: $PASSED passed, $((FAILED + 1)) failed"
  exit 1
}

# --- builds: the win64 and native presets (scripts/test-all.sh builds them first) ------------------
build_preset() {
  local preset=$1
  shift
  (cd "$ROOT" && { [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset"; } &&
    cmake --build --preset "$preset" --target "$@") >"$WORK/build-$preset.log" 2>&1 ||
    { tail -30 "$WORK/build-$preset.log"; give_up "the $preset build failed"; }
}
BIN=${PV_WIN64_BIN:-}
if [ -z "$BIN" ]; then
  build_preset win64 gridfold plotvane pv_wine_driver
  BIN=$ROOT/build/win64/bin
fi
CLI=${PV_NATIVE_CLI:-}
if [ -z "$CLI" ]; then
  build_preset native plotvane-cli
  CLI=$ROOT/build/native/bin/plotvane-cli
fi
for program in gridfold.exe plotvane.exe pv_wine_driver.exe; do
  [ -f "$BIN/$program" ] || give_up "$BIN/$program is missing"
done

# --- display, locale, prefix --------------------------------------------------------------------
wine_env_xvfb "$WORK" || give_up "$WINE_ENV_ERROR"
wine_env_locale "$WORK" || give_up "$WINE_ENV_ERROR"
wine_env_prefix "$WORK/prefix" "$WORK/wineboot.log" || give_up "$WINE_ENV_ERROR"
wine_env_undecorated N

# --- helpers ------------------------------------------------------------------------------------
# drive NAME STEPS...: one driver run; its output, without CRs, in $WORK/NAME.out. Written to a
# file, not a pipe: a gridfold that hangs on a box would hold a pipe open.
drive() {
  local name=$1
  shift
  timeout 120 wine "$BIN/pv_wine_driver.exe" "$@" >"$WORK/$name.raw" 2>"$WORK/$name.wine-err"
  local status=$?
  tr -d '\r' <"$WORK/$name.raw" >"$WORK/$name.out"
  if [ $status -ne 0 ] || grep -q '^FAIL' "$WORK/$name.out"; then
    log "---- driver run $name (status $status):"
    sed 's/^/     /' "$WORK/$name.out"
    # Whatever is left of this scenario must not meet the next one.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    wine_env_server "$WORK/wineboot.log"
    return 1
  fi
  return 0
}
start_steps() { printf '%s\n' start "$(winpath "$WORK/app/gridfold.exe")" "$(winpath "$1")" "$(winpath "$WORK/$2")"; }
has_line() { grep -qxF -- "$2" "$WORK/$1.out" || { log "     $1: no line '$2'"; return 1; }; }
value_of() { grep -m1 "^$2 " "$WORK/$1.out" | cut -d' ' -f2-; }
# The exit statuses a driver run saw, in order: the converter's, then the viewer's.
exits_are() {
  local seen
  seen=$(grep '^exit ' "$WORK/$1.out" | cut -d' ' -f2 | tr '\n' ' ')
  [ "$seen" = "$2 " ] || { log "     $1: exit statuses '$seen', expected '$2 '"; return 1; }
}
same_file() { cmp -s "$1" "$2" || { log "     $1 differs from $2"; return 1; }; }
# holds DIR NAMES...: DIR holds exactly these files.
holds() {
  local dir=$1 seen expected
  shift
  seen=$(ls -A "$dir" | LC_ALL=C sort | tr '\n' '|')
  expected=$(printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort | tr '\n' '|')
  [ "$seen" = "$expected" ] || { log "     $dir holds '$seen', expected '$expected'"; return 1; }
}
# Code page 932 bytes in hex, as the driver's message-cp932 step prints them.
cp932_hex() { printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -v -tx1 | tr -d ' \n'; }
# compare_preview NAME CAPTURE GRID AREA: the live preview against the reference rasterizer.
compare_preview() {
  "$CLI" preview --area "$4" "$3" - >"$WORK/$1.ops" &&
    "$CLI" preview --area "$4" "$3" "$WORK/$1.ref.ppm" &&
    python3 "$ROOT/tests/wine/compare_preview.py" "$WORK/$2" "$WORK/$1.ref.ppm" "$WORK/$1.ops" >"$WORK/$1.cmp"
  local status=$?
  sed 's/^/     /' "$WORK/$1.cmp"
  return $status
}
# gridfold_from_shell NAME CWD INPUT: gridfold.exe started as from a command prompt, in the
# background; its exit status lands in $WORK/NAME.status.
gridfold_from_shell() {
  (cd "$2" && timeout 60 wine "$WORK/app/gridfold.exe" "$(winpath "$3")" >"$WORK/$1.gridfold" 2>&1
    echo $? >"$WORK/$1.status") &
  GRIDFOLD_JOB=$!
}
status_is() {
  [ "$(cat "$WORK/$1.status" 2>/dev/null)" = "$2" ] ||
    { log "     $1: gridfold ended with '$(cat "$WORK/$1.status" 2>/dev/null)'"; return 1; }
}

# --- folders and inputs ---------------------------------------------------------------------------
# gridfold.exe sits alone: Wine's search for a bare program name also looks in the starting
# program's own folder, which would find a plotvane.exe placed next to it before any other.
mkdir -p "$WORK/app" "$WORK/empty"
cp "$BIN/gridfold.exe" "$WORK/app/"
if [ -s "$ROOT/samples/points.xyz" ]; then
  cp "$ROOT/samples/points.xyz" "$WORK/points.xyz"
else
  # A bump sampled on a 12 x 9 grid, lines in no particular order.
  awk 'BEGIN { for (k = 0; k < 108; k++) { i = (k * 37) % 108; x = (i % 12) * 10; y = int(i / 12) * 10;
    printf "%f,%f,%f\r\n", x, y, 100 + 30 * exp(-((x - 55)^2 + (y - 40)^2) / 900) } }' >"$WORK/points.xyz"
fi
# A 5 x 4 grid with all Z values distinct, lines in reverse order: another picture, another grid.
awk 'BEGIN { for (j = 3; j >= 0; j--) for (i = 4; i >= 0; i--)
  printf "%d,%d,%.2f\r\n", i * 2, j * 3, 0.5 * i + 1.25 * j * j + 0.01 * i * j }' >"$WORK/second.xyz"
printf '1,2,3\r\n4,5,6\r\n7,8\r\n10,11,12\r\n' >"$WORK/bad.xyz"
"$CLI" fold "$WORK/points.xyz" "$WORK/reference-points.csv" || give_up "plotvane-cli fold failed"
"$CLI" fold "$WORK/second.xyz" "$WORK/reference-second.csv" || give_up "plotvane-cli fold failed"

# --- first run, from a command prompt: plotvane.exe in the input's folder -------------------------
# A blank and Japanese in the folder name: the grid file's path reaches the viewer unquoted, as
# its whole command-line tail.
DATA="$WORK/測点 データ"
mkdir -p "$DATA"
cp "$WORK/points.xyz" "$DATA/points.xyz"
cp "$BIN/plotvane.exe" "$DATA/"
gridfold_from_shell first "$WORK/empty" "$DATA/points.xyz"
rm -f "$WORK/first.ready" "$WORK/first.taken"
drive first viewer-dialog image status checked 110 checked 113 area capture "$(winpath "$WORK/first.ppm")" \
  dialog-info signal "$(winpath "$WORK/first.ready")" await "$(winpath "$WORK/first.taken")" \
  click 107 wait-exit processes plotvane.exe &
driver=$!
for _ in $(seq 600); do [ -e "$WORK/first.ready" ] && break; kill -0 $driver 2>/dev/null || break; sleep 0.1; done
[ -e "$WORK/first.ready" ] && { wine_env_screenshot "$WORK/first.raw" "$WORK/gridfold-plotvane.png" || log "     $WINE_ENV_ERROR"; }
touch "$WORK/first.taken"
wait $driver
wait "$GRIDFOLD_JOB"
AREA=$(value_of first area)
log "     viewer: $(value_of first image); preview area $AREA"
check "command-line run: gridfold exits with 0" status_is first 0
check "TMP1.csv next to the input, byte-identical to plotvane-cli fold" \
  same_file "$DATA/TMP1.csv" "$WORK/reference-points.csv"
first_run_wrote_only_tmp1() { holds "$DATA" points.xyz plotvane.exe TMP1.csv && holds "$WORK/empty"; }
check "nothing else written, neither in the input's folder nor in the working directory" first_run_wrote_only_tmp1
check "viewer started from the input's folder" has_line first "image $(winpath "$DATA/plotvane.exe")"
opened_in_3d() { has_line first "checked 110 1" && has_line first "checked 113 1" && has_line first "status 未出力"; }
check "viewer opens in 3D with Face, status 未出力" opened_in_3d
check "viewer shows TMP1.csv: preview matches the reference rasterizer" \
  compare_preview first-preview first.ppm "$DATA/TMP1.csv" "$AREA"
check "screenshot of the viewer" test -s "$WORK/gridfold-plotvane.png"
quit_and_gone() { exits_are first 0 && has_line first "processes plotvane.exe 0"; }
check "viewer quits with 0 and no viewer is left" quit_and_gone
if [ "${PV_UPDATE_DOCS:-0}" = 1 ] && [ -s "$WORK/gridfold-plotvane.png" ]; then
  mkdir -p "$ROOT/docs" && cp "$WORK/gridfold-plotvane.png" "$ROOT/docs/"
fi

# --- second run on the same folder, another list: TMP2.csv ------------------------------------------
cp "$WORK/second.xyz" "$DATA/second.xyz"
gridfold_from_shell second "$WORK/empty" "$DATA/second.xyz"
drive second viewer-dialog image area capture "$(winpath "$WORK/second.ppm")" click 107 wait-exit \
  processes plotvane.exe
wait "$GRIDFOLD_JOB"
check "second run: gridfold exits with 0" status_is second 0
second_run_files() {
  same_file "$DATA/TMP2.csv" "$WORK/reference-second.csv" && same_file "$DATA/TMP1.csv" "$WORK/reference-points.csv"
}
check "TMP2.csv byte-identical to plotvane-cli fold; TMP1.csv untouched" second_run_files
check "second run: no other file" holds "$DATA" points.xyz second.xyz plotvane.exe TMP1.csv TMP2.csv
check "second run: viewer shows TMP2.csv" \
  compare_preview second-preview second.ppm "$DATA/TMP2.csv" "$(value_of second area)"

# --- viewer in the working directory (the start by bare name) ----------------------------------------
# TMP1.$$$ there holds number 1 back, even though the input's folder has no TMP1.csv.
mkdir -p "$WORK/by-cwd" "$WORK/viewer-cwd"
cp "$WORK/points.xyz" "$WORK/by-cwd/points.xyz"
cp "$BIN/plotvane.exe" "$WORK/viewer-cwd/"
: >"$WORK/viewer-cwd/TMP1.\$\$\$"
mapfile -t steps < <(start_steps "$WORK/by-cwd/points.xyz" by-cwd.err)
(cd "$WORK/viewer-cwd" && drive by-cwd "${steps[@]}" wait-exit viewer-dialog image status click 107 wait-exit \
  processes plotvane.exe)
check "viewer found in the working directory" has_line by-cwd "image $(winpath "$WORK/viewer-cwd/plotvane.exe")"
check "working directory: gridfold and the viewer exit with 0" exits_are by-cwd "0 0"
reserved_number_passed_over() {
  holds "$WORK/by-cwd" points.xyz TMP2.csv && holds "$WORK/viewer-cwd" 'TMP1.$$$' plotvane.exe &&
    same_file "$WORK/by-cwd/TMP2.csv" "$WORK/reference-points.csv"
}
check "TMP1.\$\$\$ in the working directory: the output is TMP2.csv" reserved_number_passed_over

# --- viewer on the search path (the start by bare name) -----------------------------------------------
mkdir -p "$WORK/by-path" "$WORK/viewer-path"
cp "$WORK/points.xyz" "$WORK/by-path/points.xyz"
cp "$BIN/plotvane.exe" "$WORK/viewer-path/"
mapfile -t steps < <(start_steps "$WORK/by-path/points.xyz" by-path.err)
# WINEPATH goes into the PATH of the programs Wine starts.
(export WINEPATH; WINEPATH=$(winpath "$WORK/viewer-path"); cd "$WORK/empty" &&
  drive by-path "${steps[@]}" wait-exit viewer-dialog image status click 107 wait-exit processes plotvane.exe)
check "viewer found on the search path" has_line by-path "image $(winpath "$WORK/viewer-path/plotvane.exe")"
check "search path: gridfold and the viewer exit with 0" exits_are by-path "0 0"
check "search path: TMP1.csv written" same_file "$WORK/by-path/TMP1.csv" "$WORK/reference-points.csv"

# --- an input named with a kanji that ends in the byte of a backslash ----------------------------------
# 表 is 0x95 0x5C in code page 932: the directory part must end at the real separator.
KANJI="$WORK/kanji"
mkdir -p "$KANJI"
cp "$WORK/points.xyz" "$KANJI/表.xyz"
cp "$BIN/plotvane.exe" "$KANJI/"
mapfile -t steps < <(start_steps "$KANJI/表.xyz" kanji.err)
(cd "$WORK/empty" && drive kanji "${steps[@]}" wait-exit viewer-dialog image click 107 wait-exit processes plotvane.exe)
check "kanji input name: viewer started from the input's folder" has_line kanji "image $(winpath "$KANJI/plotvane.exe")"
kanji_tmp1() { holds "$KANJI" 表.xyz plotvane.exe TMP1.csv && same_file "$KANJI/TMP1.csv" "$WORK/reference-points.csv"; }
check "kanji input name: TMP1.csv in the input's folder" kanji_tmp1

# --- a list whose line 3 holds one comma ---------------------------------------------------------------
mkdir -p "$WORK/bad"
cp "$WORK/bad.xyz" "$WORK/bad/bad.xyz"
cp "$BIN/plotvane.exe" "$WORK/bad/"
mapfile -t steps < <(start_steps "$WORK/bad/bad.xyz" bad.err)
(cd "$WORK/empty" && drive bad "${steps[@]}" message-cp932 message ok no-window 1000 wait-exit processes plotvane.exe)
text='3行目が３つのデータ（X,Y,Z）の構成になっていません。'$'\n''終了します。'
check "bad line 3: one Error box, no owner, with the line number" \
  has_line bad "message Error | ${text//$'\n'/\\n} | owner=none"
check "bad line 3: the box's text in code page 932 bytes" \
  has_line bad "message-cp932 $(cp932_hex Error) | $(cp932_hex "$text")"
one_box_then_1() { has_line bad "no-window ok" && exits_are bad 1; }
check "bad line 3: no second box, exit status 1" one_box_then_1
nothing_started() { holds "$WORK/bad" bad.xyz plotvane.exe && holds "$WORK/empty" && has_line bad "processes plotvane.exe 0"; }
check "bad line 3: no TMP file, no viewer" nothing_started

# --- no plotvane.exe anywhere ------------------------------------------------------------------------------
ALONE="$WORK/単独"
mkdir -p "$ALONE"
cp "$WORK/points.xyz" "$ALONE/points.xyz"
mapfile -t steps < <(start_steps "$ALONE/points.xyz" alone.err)
(cd "$WORK/empty" && drive alone "${steps[@]}" message-cp932 message ok no-window 1000 wait-exit processes plotvane.exe)
text="plotvane.exe が見つかりませんでした"$'\n'"($(winpath "$ALONE/plotvane.exe"))"
check "viewer found nowhere: Error box naming plotvane.exe in the input's folder, no owner" \
  has_line alone "message Error | ${text//$'\n'/\\n} | owner=none"
check "viewer found nowhere: the box's text in code page 932 bytes" \
  has_line alone "message-cp932 $(cp932_hex Error) | $(cp932_hex "$text")"
converted_anyway() {
  has_line alone "no-window ok" && exits_are alone 0 && same_file "$ALONE/TMP1.csv" "$WORK/reference-points.csv"
}
check "viewer found nowhere: one box, exit status 0, TMP1.csv written" converted_anyway

log "wine-gridfold: $PASSED passed, $FAILED failed ($((SECONDS - BEGIN)) s)"
[ "$FAILED" -eq 0 ]
