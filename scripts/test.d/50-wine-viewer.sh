#!/usr/bin/env bash
# The real plotvane.exe (win64) under Wine on a private Xvfb display, in a Japanese locale, worked
# from outside by pv_wine_driver.exe: preview pixels against the reference rasterizer, the status
# bar, loads and saves through the real common dialogs, the large-data question, the Dimension
# buttons, failed saves, memory exhaustion, and screenshots for docs/.
#
# Environment (all optional):
#   PV_WIN64_BIN   folder holding plotvane.exe, pv_wine_driver.exe and pv_fpu_probe.exe
#                  (default: build them with the win64 preset, in build/win64)
#   PV_NATIVE_CLI  the native plotvane-cli (default: build it with the native preset)
#   PV_KEEP=1      keep the scratch folder (pictures, driver output) after the run
#   PV_UPDATE_DOCS=1  copy the screenshots to docs/plotvane-3d.png and docs/plotvane-2d.png
set -u

ROOT=${PV_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
# shellcheck source=../wine-env.sh
source "$ROOT/scripts/wine-env.sh"
WORK=$(mktemp -d /tmp/pv-wine-viewer.XXXXXX)
PASSED=0
FAILED=0

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
  log "wine-viewer: $*"
  log "wine-viewer: $PASSED passed, $((FAILED + 1)) failed"
  exit 1
}

# --- builds: the win64 and native presets (scripts/test-all.sh builds them first) ------------------
# build_preset PRESET TARGETS...: configures once, then builds only what this test needs.
build_preset() {
  local preset=$1
  shift
  (cd "$ROOT" && { [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset"; } &&
    cmake --build --preset "$preset" --target "$@") >"$WORK/build-$preset.log" 2>&1 ||
    { tail -30 "$WORK/build-$preset.log"; give_up "the $preset build failed"; }
}
BIN=${PV_WIN64_BIN:-}
if [ -z "$BIN" ]; then
  build_preset win64 plotvane pv_wine_driver pv_fpu_probe
  BIN=$ROOT/build/win64/bin
fi
CLI=${PV_NATIVE_CLI:-}
if [ -z "$CLI" ]; then
  build_preset native plotvane-cli
  CLI=$ROOT/build/native/bin/plotvane-cli
fi
for program in plotvane.exe pv_wine_driver.exe pv_fpu_probe.exe; do
  [ -f "$BIN/$program" ] || give_up "$BIN/$program is missing"
done

# --- display, locale, prefix --------------------------------------------------------------------
# The Japanese locale makes Wine's code page 932. The server started here lives for the whole
# run, from before any run with a file-size limit.
wine_env_xvfb "$WORK" || give_up "$WINE_ENV_ERROR"
wine_env_locale "$WORK" || give_up "$WINE_ENV_ERROR"
wine_env_prefix "$WORK/prefix" "$WORK/wineboot.log" || give_up "$WINE_ENV_ERROR"
# Without a window manager on the display, Wine draws the captions itself.
wine_env_undecorated N

# --- helpers ------------------------------------------------------------------------------------
# drive NAME STEPS...: one driver run; its output in $WORK/NAME.out.
drive() {
  local name=$1
  shift
  # The console's line ends are CR LF.
  timeout 180 wine "$BIN/pv_wine_driver.exe" "$@" 2>"$WORK/$name.wine-err" | stdbuf -oL tr -d '\r' >"$WORK/$name.out"
  local status=${PIPESTATUS[0]}
  if [ $status -ne 0 ] || grep -q '^FAIL' "$WORK/$name.out"; then
    log "---- driver run $name (status $status):"
    sed 's/^/     /' "$WORK/$name.out"
    return 1
  fi
  return 0
}
start_steps() { printf '%s\n' start "$(winpath "$BIN/plotvane.exe")" "$1" "$(winpath "$WORK/$2")"; }
has_line() { grep -qxF -- "$2" "$WORK/$1.out" || { log "     $1: no line '$2'"; return 1; }; }
value_of() { grep -m1 "^$2 " "$WORK/$1.out" | cut -d' ' -f2-; }
# What plotvane wrote to its error stream, as UTF-8 without CRs.
error_stream() { iconv -f CP932 -t UTF-8 "$WORK/$1" | tr -d '\r'; }
same_file() { cmp -s "$1" "$2" || { log "     $1 differs from $2"; return 1; }; }
# compare_preview NAME CAPTURE INPUT AREA [--2d]
compare_preview() {
  "$CLI" preview ${5:-} --area "$4" "$3" - >"$WORK/$1.ops" &&
    "$CLI" preview ${5:-} --area "$4" "$3" "$WORK/$1.ref.ppm" &&
    python3 "$ROOT/tests/wine/compare_preview.py" "$WORK/$2" "$WORK/$1.ref.ppm" "$WORK/$1.ops" >"$WORK/$1.cmp"
  local status=$?
  sed 's/^/     /' "$WORK/$1.cmp"
  return $status
}

# --- inputs -------------------------------------------------------------------------------------
printf 'XYZ,1,2,3\r\n1,0,0,0\r\n2,0,3,0\r\n' >"$WORK/grid.csv"
cp "$WORK/grid.csv" "$WORK/my grid.csv"
# A 3 x 4 grid with all Z values distinct, for the DXF methods.
printf 'XYZ,0,1.5,3\r\n0,0.1,0.2,0.3\r\n1,1.1,1.25,1.3\r\n2,2.1,2.2,2.35\r\n3,3.1,3.2,3.3\r\n' >"$WORK/surface.csv"
printf '0,1,2.5,4,7\r\n0,3,1,2.5,-1\r\n' >"$WORK/profile.csv"
# 100 header fields; 99 data lines give 100 x 101 = 10100 cells, 98 give 100 x 100 = 10000.
awk 'BEGIN { for (n = 98; n <= 99; n++) { f = "'"$WORK"'/cells" n ".csv"; s = "XYZ"; for (i = 1; i < 100; i++) s = s "," i;
  print s > f; for (j = 1; j <= n; j++) { s = j; for (i = 1; i < 100; i++) s = s "," (i * j % 17); print s > f } } }'
# A table of 5,000,001 x 5,000,002 doubles fits no address space.
{ printf 'XYZ'; head -c 5000000 /dev/zero | tr '\0' ','; printf '\n'; head -c 5000000 /dev/zero | tr '\0' '\n'; } >"$WORK/huge.csv"
# Screenshot inputs: a bump on a 16 x 12 grid, and a damped wave.
awk 'BEGIN { s = "XYZ"; for (i = 0; i < 16; i++) s = s "," i; print s;
  for (j = 0; j < 12; j++) { s = j; for (i = 0; i < 16; i++) s = s "," sprintf("%.3f", 4 * exp(-((i - 7.5)^2 + (j - 5.5)^2) / 12)); print s } }' >"$WORK/bump.csv"
awk 'BEGIN { n = 60; sx = "0"; sy = "6.000"; for (k = 1; k <= n; k++) { x = 12 * k / n;
  sx = sx "," sprintf("%.3f", x); sy = sy "," sprintf("%.3f", 6 * exp(-x / 6) * cos(1.6 * x)) } print sx; print sy }' >"$WORK/wave.csv"

# --- the dialog template as built ------------------------------------------------------------------
python3 "$ROOT/tests/wine/dialog_template.py" x86_64-w64-mingw32-windres "$BIN/plotvane.exe" >"$WORK/dialog.rc" 2>&1
check "dialog template 200 in plotvane.exe: texts, styles, positions, font" \
  diff -u "$ROOT/tests/wine/expected_dialog.rc" "$WORK/dialog.rc"

# --- the x87 unit ---------------------------------------------------------------------------------
wine "$BIN/pv_fpu_probe.exe" 2>/dev/null | tr -d '\r' >"$WORK/fpu.out"
log "     runtime start-up leaves: $(cat "$WORK/fpu.out")"
check "long double has a 64-bit mantissa under Wine" grep -q 'extended=yes' "$WORK/fpu.out"

# --- started with a grid file ---------------------------------------------------------------------
mapfile -t steps < <(start_steps "$(winpath "$WORK/grid.csv")" start.err)
drive start "${steps[@]}" dialog acp dialog-info area status text 101 text 102 text 103 text 104 text 105 \
  text 106 text 107 text 109 text 110 text 111 text 112 text 113 checked 109 checked 110 checked 111 \
  checked 112 checked 113 style 100 style 101 style 102 style 103 style 104 style 105 style 106 style 107 \
  style 108 style 109 style 110 style 111 style 112 style 113 rect 100 rect 108 \
  capture "$(winpath "$WORK/start.ppm")" invalidate capture "$(winpath "$WORK/start-invalidated.ppm")" \
  cover capture "$(winpath "$WORK/start-covered.ppm")" minimize-restore capture "$(winpath "$WORK/start-restored.ppm")" \
  click 107 wait-exit
check "start with a grid file: driver run" test -s "$WORK/start.out"
AREA=$(value_of start area)
log "     live preview area (left,width,height): $AREA; $(value_of start dialog-info)"
check "code page 932" has_line start "acp 932"
check "caption, version and button texts" bash -c '
  for line in "text 101 Ver.0.10.2" "text 102 Dimension" "text 103 Method" "text 104 ＣＳＶ読込" "text 105 " \
    "text 106 ＤＸＦ保存" "text 107 アプリ終了" "text 109 2D" "text 110 3D" "text 111 Line" "text 112 Mesh" \
    "text 113 Face"; do grep -qxF -- "$line" "$0" || { echo "     missing: $line"; exit 1; }; done
  grep -q "^dialog-info caption=plotvane " "$0"' "$WORK/start.out"
check "3D and Face checked at start" bash -c 'grep -qx "checked 109 0" "$0" && grep -qx "checked 110 1" "$0" &&
  grep -qx "checked 111 0" "$0" && grep -qx "checked 112 0" "$0" && grep -qx "checked 113 1" "$0"' "$WORK/start.out"
check "status bar reads 未出力 after the start-up load" has_line start "status 未出力"
# Control styles as the template gives them (the dialog manager adds WS_CLIPSIBLINGS to the
# Method group and may turn default push buttons into plain ones; both are masked).
check "control kinds and styles; no tab stops" python3 - "$WORK/start.out" <<'EOF'
import sys
expected = {  # id: (class, style bits that must be set, mask of bits compared)
    100: ("Static", 0x50000001, 0x5000001F), 101: ("Static", 0x50000002, 0x5000001F),
    105: ("Static", 0x50000001, 0x5000001F), 104: ("Button", 0x50000000, 0x5000000E),
    106: ("Button", 0x50000000, 0x5000000E), 107: ("Button", 0x50000000, 0x5000000E),
    108: ("msctls_statusbar32", 0x50000003, 0x50000003),
    102: ("Button", 0x50020307, 0x50020F0F), 103: ("Button", 0x50020307, 0x50020F0F),
    109: ("Button", 0x50000009, 0x50020F0F), 110: ("Button", 0x50000009, 0x50020F0F),
    111: ("Button", 0x50000009, 0x50020F0F), 112: ("Button", 0x50000009, 0x50020F0F),
    113: ("Button", 0x50000009, 0x50020F0F),
}
seen, bad = {}, []
for line in open(sys.argv[1], encoding="utf-8"):
    w = line.split()
    if w and w[0] == "style":
        seen[int(w[1])] = (w[2], int(w[3], 16))
for cid, (cls, bits, mask) in expected.items():
    got = seen.get(cid)
    if not got or got[0].lower() != cls.lower() or (got[1] & mask) != bits:
        bad.append(f"{cid}: {got}")
    elif got[1] & 0x00010000 and not (cid in (110, 113)):
        bad.append(f"{cid}: tab stop")  # the checked radio buttons get one from the button class
print("     " + ("; ".join(bad) if bad else "all %d controls as in the template" % len(expected)))
sys.exit(1 if bad else 0)
EOF
check "dialog styles: popup, caption, modal frame, set-font; dialog-modal-frame" python3 -c '
import re, sys
info = open(sys.argv[1], encoding="utf-8").read()
style = int(re.search(r"style=0x([0-9a-f]+)", info).group(1), 16)
ex = int(re.search(r"exstyle=0x([0-9a-f]+)", info).group(1), 16)
sys.exit(0 if style & 0x80C000C0 == 0x80C000C0 and ex & 1 else 1)' "$WORK/start.out"
check "start-up preview matches the reference rasterizer" compare_preview start-preview start.ppm "$WORK/grid.csv" "$AREA"
for repaint in invalidated covered restored; do
  check "repaint ($repaint) shows the newest drawing" \
    compare_preview "start-$repaint" "start-$repaint.ppm" "$WORK/grid.csv" "$AREA"
done
check "quit ends with status 0" has_line start "exit 0"
check "nothing on the error stream" test ! -s "$WORK/start.err"

# --- started without arguments --------------------------------------------------------------------
mapfile -t steps < <(start_steps "" bare.err)
drive bare "${steps[@]}" dialog status rect 199 click-sync 106 no-window 800 close wait-exit
check "start without arguments: empty status, no preview surface" bash -c \
  'grep -qx "status " "$0" && grep -qx "rect 199 none" "$0"' "$WORK/bare.out"
check "start without arguments: save does nothing" has_line bare "no-window ok"
check "close request ends with status 0" has_line bare "exit 0"

# --- started with a missing path, and with a quoted path --------------------------------------------
mapfile -t steps < <(start_steps "$(winpath "$WORK/missing.csv")" missing.err)
drive missing "${steps[@]}" dialog status rect 199 click-sync 106 no-window 800 click 107 wait-exit
check "missing start-up file: status 未出力, nothing drawn, save does nothing" bash -c \
  'grep -qx "status 未出力" "$0" && grep -qx "rect 199 none" "$0" && grep -qx "no-window ok" "$0"' \
  "$WORK/missing.out"
check "missing start-up file: 読込エラー on the error stream" \
  test "$(error_stream missing.err)" = "読込エラー: No such file or directory"

mapfile -t steps < <(start_steps "\"$(winpath "$WORK/my grid.csv")\"" quoted.err)
drive quoted "${steps[@]}" dialog status capture "$(winpath "$WORK/quoted.ppm")" click 107 wait-exit
check "quoted start-up path loses its quotation marks and loads" \
  compare_preview quoted-preview quoted.ppm "$WORK/grid.csv" "$AREA"
check "quoted start-up path: nothing on the error stream" test ! -s "$WORK/quoted.err"

# --- loads and saves through the real common dialogs ----------------------------------------------
mapfile -t steps < <(start_steps "$(winpath "$WORK/grid.csv")" dialogs.err)
drive dialogs "${steps[@]}" dialog \
  click 104 open-file "$(winpath "$WORK/surface.csv")" text 105 status \
  capture "$(winpath "$WORK/surface.ppm")" invalidate capture "$(winpath "$WORK/surface-repainted.ppm")" \
  click 106 save-file "$(winpath "$WORK/surface-face.dxf")" status \
  click-sync 112 click 106 save-file "$(winpath "$WORK/surface-mesh.dxf")" \
  click-sync 111 click 106 save-file "$(winpath "$WORK/surface-line.dxf")" \
  click 106 cancel-file \
  click-sync 109 visible 103 visible 111 visible 112 visible 113 click-sync 106 no-window 800 \
  click 104 open-file "$(winpath "$WORK/profile.csv")" text 105 \
  capture "$(winpath "$WORK/profile.ppm")" \
  click 106 save-file "$(winpath "$WORK/profile-2d.dxf")" status \
  click-sync 110 visible 103 visible 111 visible 112 visible 113 click-sync 106 no-window 800 \
  click 107 wait-exit
check "load: 105 names the file, status 未出力" bash -c \
  'grep -qx "text 105 surface.csv" "$0" && grep -qx "status 未出力" "$0"' "$WORK/dialogs.out"
check "open dialog starts empty; save dialog offers surface.dxf" bash -c \
  'grep -qx "file-dialog ファイルを開く initial=" "$0" && grep -qx "file-dialog ファイルの保存 initial=surface.dxf" "$0"' \
  "$WORK/dialogs.out"
check "loaded 3D preview matches the reference rasterizer" compare_preview surface-preview surface.ppm "$WORK/surface.csv" "$AREA"
check "repaint after a load shows the newest drawing, not the start-up one's" \
  compare_preview surface-repainted surface-repainted.ppm "$WORK/surface.csv" "$AREA"
check "status 保存完了 after the save" has_line dialogs "status 保存完了"
for method in face mesh line; do
  "$CLI" dxf --method $method "$WORK/surface.csv" "$WORK/reference-$method.dxf"
  check "save with $method is byte-identical to plotvane-cli dxf" same_file "$WORK/surface-$method.dxf" "$WORK/reference-$method.dxf"
done
check "2D hides the Method group; saving a stale table does nothing" bash -c '
  for id in 103 111 112 113; do grep -qx "visible $id 0" "$0" || exit 1; done
  [ "$(grep -c "^no-window ok$" "$0")" = 2 ]' "$WORK/dialogs.out"
check "3D shows the Method group again" bash -c \
  'for id in 103 111 112 113; do grep -qx "visible $id 1" "$0" || exit 1; done' "$WORK/dialogs.out"
check "loaded 2D preview matches the reference rasterizer" compare_preview profile-preview profile.ppm "$WORK/profile.csv" "$AREA" --2d
"$CLI" dxf --method 2d "$WORK/profile.csv" "$WORK/reference-2d.dxf"
check "save in 2D is byte-identical to plotvane-cli dxf" same_file "$WORK/profile-2d.dxf" "$WORK/reference-2d.dxf"
check "cancelled save dialog writes nothing" test ! -e "$WORK/surface.dxf"

# --- the large-data question --------------------------------------------------------------------------
mapfile -t steps < <(start_steps "" large.err)
drive large "${steps[@]}" dialog \
  click 104 open-file "$(winpath "$WORK/cells98.csv")" click 106 save-file "$(winpath "$WORK/cells98.dxf")" \
  click 104 open-file "$(winpath "$WORK/cells99.csv")" \
  click 106 message cancel no-window 800 \
  click 106 message ok save-file "$(winpath "$WORK/cells99.dxf")" status \
  click 107 wait-exit
check "no question at 100 x 100 = 10000 cells" test -s "$WORK/cells98.dxf"
check "question above 10000 cells, with its text and OK/Cancel" test "$(grep -cxF \
  'message Note | データ量が多いため保存に時間がかかります。\n続行しますか？ | owner=dialog' "$WORK/large.out")" = 2
check "Cancel ends the save silently; OK goes on to the save dialog" bash -c \
  'grep -qx "no-window ok" "$0" && grep -qx "status 保存完了" "$0"' "$WORK/large.out"
"$CLI" dxf --method face "$WORK/cells99.csv" "$WORK/reference-cells99.dxf"
check "large save is byte-identical to plotvane-cli dxf" same_file "$WORK/cells99.dxf" "$WORK/reference-cells99.dxf"

# --- failed saves -----------------------------------------------------------------------------------
# A folder where no file can be created, root or not. (A read-only target is no test under
# Wine: its MoveFileEx replaces read-only files, which Windows refuses.)
mapfile -t steps < <(start_steps "$(winpath "$WORK/surface.csv")" blocked.err)
drive blocked "${steps[@]}" dialog click 106 save-file 'Z:\proc\self\blocked.dxf' sync status click 107 wait-exit
log "     error stream: $(error_stream blocked.err)"
check "unwritable folder: 書込みエラー on the error stream, status stays 未出力" bash -c \
  '[[ "$0" == 書込みエラー:\ ?* ]] && grep -qx "status 未出力" "$1"' "$(error_stream blocked.err)" "$WORK/blocked.out"

# A file-size limit stands in for a full disk: every write past it fails.
awk 'BEGIN { s = "XYZ"; for (i = 1; i <= 60; i++) s = s "," i; print s;
  for (j = 1; j <= 60; j++) { s = j; for (i = 1; i <= 60; i++) s = s "," (i * j + 0.125); print s } }' >"$WORK/wide.csv"
printf 'the drawing saved last week\r\n' >"$WORK/full.dxf"
cp "$WORK/full.dxf" "$WORK/full.before"
mapfile -t steps < <(start_steps "$(winpath "$WORK/wide.csv")" full.err)
(
  trap '' XFSZ
  ulimit -f 256
  drive full "${steps[@]}" dialog click 106 save-file "$(winpath "$WORK/full.dxf")" sync status click 107 wait-exit
)
check "full disk: no 保存完了, the file that was there intact, no temporary left" bash -c \
  'grep -qx "status 未出力" "$0" && cmp -s "$1" "$2" && [ -z "$(ls "$3" | grep "^full\.dxf\..*tmp$")" ]' \
  "$WORK/full.out" "$WORK/full.dxf" "$WORK/full.before" "$WORK"
log "     error stream: $(error_stream full.err)"
check "full disk: reported on the error stream" bash -c '[[ "$0" == 書込みエラー:\ ?* ]]' "$(error_stream full.err)"

# --- memory exhaustion ---------------------------------------------------------------------------------
mapfile -t steps < <(start_steps "$(winpath "$WORK/huge.csv")" huge.err)
drive huge "${steps[@]}" message ok wait-exit
check "memory exhaustion: Error box with メモリ確保に失敗しました" bash -c \
  'grep -q "^message Error | メモリ確保に失敗しました | " "$0"' "$WORK/huge.out"
check "memory exhaustion: exit status 1" has_line huge "exit 1"

# --- extended precision in the live program -------------------------------------------------------------
WIDTH=$(printf '%s' "$AREA" | cut -d, -f2)
drive precision precision-profile "$(winpath "$WORK/precise.csv")" "$WIDTH"
mapfile -t steps < <(start_steps "" precise.err)
drive precise "${steps[@]}" dialog click-sync 109 click 104 open-file "$(winpath "$WORK/precise.csv")" \
  capture "$(winpath "$WORK/precise.ppm")" click 107 wait-exit
log "     $(cat "$WORK/precision.out")"
check "points that differ between 53- and 64-bit rounding land where the reference puts them" \
  compare_preview precise-preview precise.ppm "$WORK/precise.csv" "$AREA" --2d

# --- screenshots ------------------------------------------------------------------------------------------
for shot in 3d 2d; do
  if [ $shot = 3d ]; then input=bump.csv extra=(); else input=wave.csv extra=(click-sync 109); fi
  mapfile -t steps < <(start_steps "" "shot-$shot.err")
  rm -f "$WORK/shot-$shot.ready" "$WORK/shot-$shot.taken"
  drive "shot-$shot" "${steps[@]}" dialog "${extra[@]}" click 104 open-file "$(winpath "$WORK/$input")" \
    capture "$(winpath "$WORK/shot-$shot.ppm")" dialog-info signal "$(winpath "$WORK/shot-$shot.ready")" await "$(winpath "$WORK/shot-$shot.taken")" \
    click 107 wait-exit &
  driver=$!
  for _ in $(seq 600); do [ -e "$WORK/shot-$shot.ready" ] && break; sleep 0.1; done
  wine_env_screenshot "$WORK/shot-$shot.out" "$WORK/plotvane-$shot.png" || log "     $WINE_ENV_ERROR"
  touch "$WORK/shot-$shot.taken"
  wait $driver
  check "screenshot of the dialog with the $shot preview" \
    test "$(identify -format '%wx%h' "$WORK/plotvane-$shot.png" 2>/dev/null)" = "$(wine_env_window_size "$WORK/shot-$shot.out")"
  if [ "${PV_UPDATE_DOCS:-0}" = 1 ] && [ -s "$WORK/plotvane-$shot.png" ]; then
    mkdir -p "$ROOT/docs" && cp "$WORK/plotvane-$shot.png" "$ROOT/docs/"
  fi
done

log "wine-viewer: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
