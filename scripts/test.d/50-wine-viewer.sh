#!/usr/bin/env bash
# The real plotvane.exe under Wine on a private Xvfb display, in a Japanese locale, worked from
# outside by pv_wine_driver.exe: preview pixels against the reference rasterizer, the status bar,
# loads and saves through the real common dialogs, the large-data question, the Dimension buttons,
# failed saves, memory exhaustion, and screenshots for docs/. Each scenario runs for the win64
# build and for the shipped win32 programs of the release ZIP (scripts/test.d/wine-stage.sh).
set -u
# shellcheck source=wine-stage.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-stage.sh"

stage_inputs() {
  printf 'XYZ,1,2,3\r\n1,0,0,0\r\n2,0,3,0\r\n' >"$IN/grid.csv"
  cp "$IN/grid.csv" "$IN/my grid.csv"
  # A 3 x 4 grid with all Z values distinct, for the DXF methods.
  printf 'XYZ,0,1.5,3\r\n0,0.1,0.2,0.3\r\n1,1.1,1.25,1.3\r\n2,2.1,2.2,2.35\r\n3,3.1,3.2,3.3\r\n' >"$IN/surface.csv"
  printf '0,1,2.5,4,7\r\n0,3,1,2.5,-1\r\n' >"$IN/profile.csv"
  # 100 header fields; 99 data lines give 100 x 101 = 10100 cells, 98 give 100 x 100 = 10000.
  awk 'BEGIN { for (n = 98; n <= 99; n++) { f = "'"$IN"'/cells" n ".csv"; s = "XYZ"; for (i = 1; i < 100; i++) s = s "," i;
    print s > f; for (j = 1; j <= n; j++) { s = j; for (i = 1; i < 100; i++) s = s "," (i * j % 17); print s > f } } }'
  # A table of 5,000,001 x 5,000,002 doubles fits no address space.
  { printf 'XYZ'; head -c 5000000 /dev/zero | tr '\0' ','; printf '\n'; head -c 5000000 /dev/zero | tr '\0' '\n'; } >"$IN/huge.csv"
  # 30,001 x 20,003 doubles: 4.8 GB from a 50 KB file, more than a 32-bit process can address even
  # large-address-aware on 64-bit Windows (4 GB).
  { printf 'XYZ'; head -c 30000 /dev/zero | tr '\0' ','; printf '\n'; head -c 20000 /dev/zero | tr '\0' '\n'; } >"$IN/huge32.csv"
  # Screenshot inputs: a bump on a 16 x 12 grid, and a damped wave.
  awk 'BEGIN { s = "XYZ"; for (i = 0; i < 16; i++) s = s "," i; print s;
    for (j = 0; j < 12; j++) { s = j; for (i = 0; i < 16; i++) s = s "," sprintf("%.3f", 4 * exp(-((i - 7.5)^2 + (j - 5.5)^2) / 12)); print s } }' >"$IN/bump.csv"
  awk 'BEGIN { n = 60; sx = "0"; sy = "6.000"; for (k = 1; k <= n; k++) { x = 12 * k / n;
    sx = sx "," sprintf("%.3f", x); sy = sy "," sprintf("%.3f", 6 * exp(-x / 6) * cos(1.6 * x)) } print sx; print sy }' >"$IN/wave.csv"
  # Dense grids: most of their lines are shorter than a pixel, which the canvas leaves out.
  local side
  for side in 300 1000; do
    awk -v n=$side 'BEGIN { s = "XYZ"; for (i = 0; i < n; i++) s = s "," i; print s;
      for (j = 0; j < n; j++) { s = j; for (i = 0; i < n; i++) s = s "," sprintf("%.3f", 40 * sin(i / 37) * cos(j / 23) + (i * j % 7) / 10); print s } }' \
      >"$IN/dense$side.csv"
  done
  # A file-size limit stands in for a full disk: every write past it fails.
  awk 'BEGIN { s = "XYZ"; for (i = 1; i <= 60; i++) s = s "," i; print s;
    for (j = 1; j <= 60; j++) { s = j; for (i = 1; i <= 60; i++) s = s "," (i * j + 0.125); print s } }' >"$IN/wide.csv"
}

start_steps() { printf '%s\n' start "$(winpath "$BIN/plotvane.exe")" "$1" "$(winpath "$OUT/$2")"; }

# --- the dialog template as built --------------------------------------------------------------
scenario_template() {
  python3 "$ROOT/tests/wine/dialog_template.py" "$WINDRES" "$BIN/plotvane.exe" >"$OUT/dialog.rc" 2>&1
  check "dialog template 200 in plotvane.exe: texts, styles, positions, font" \
    diff -u "$ROOT/tests/wine/expected_dialog.rc" "$OUT/dialog.rc"
}

# --- the x87 unit -------------------------------------------------------------------------------
scenario_fpu() {
  wine_run "$PROBE" 2>/dev/null | tr -d '\r' >"$OUT/fpu.out"
  log "     runtime start-up leaves: $(cat "$OUT/fpu.out")"
  check "long double has a 64-bit mantissa under Wine" grep -q 'extended=yes' "$OUT/fpu.out"
}

# --- started with a grid file -------------------------------------------------------------------
scenario_start() {
  local steps
  mapfile -t steps < <(start_steps "$(winpath "$IN/grid.csv")" start.err)
  drive start "${steps[@]}" dialog acp dialog-info area status text 101 text 102 text 103 text 104 text 105 \
    text 106 text 107 text 109 text 110 text 111 text 112 text 113 checked 109 checked 110 checked 111 \
    checked 112 checked 113 style 100 style 101 style 102 style 103 style 104 style 105 style 106 style 107 \
    style 108 style 109 style 110 style 111 style 112 style 113 rect 100 rect 108 \
    capture "$(winpath "$OUT/start.ppm")" invalidate capture "$(winpath "$OUT/start-invalidated.ppm")" \
    cover capture "$(winpath "$OUT/start-covered.ppm")" minimize-restore capture "$(winpath "$OUT/start-restored.ppm")" \
    click 107 wait-exit
  check "start with a grid file: driver run" test -s "$OUT/start.out"
  AREA=$(value_of start area)
  log "     live preview area (left,width,height): $AREA; $(value_of start dialog-info)"
  check "code page 932" has_line start "acp 932"
  check "caption, version and button texts" bash -c '
    for line in "text 101 Ver.0.10.2" "text 102 Dimension" "text 103 Method" "text 104 ＣＳＶ読込" "text 105 " \
      "text 106 ＤＸＦ保存" "text 107 アプリ終了" "text 109 2D" "text 110 3D" "text 111 Line" "text 112 Mesh" \
      "text 113 Face"; do grep -qxF -- "$line" "$0" || { echo "     missing: $line"; exit 1; }; done
    grep -q "^dialog-info caption=plotvane " "$0"' "$OUT/start.out"
  check "3D and Face checked at start" bash -c 'grep -qx "checked 109 0" "$0" && grep -qx "checked 110 1" "$0" &&
    grep -qx "checked 111 0" "$0" && grep -qx "checked 112 0" "$0" && grep -qx "checked 113 1" "$0"' "$OUT/start.out"
  check "status bar reads 未出力 after the start-up load" has_line start "status 未出力"
  # Control styles as the template gives them (the dialog manager adds WS_CLIPSIBLINGS to the
  # Method group and may turn default push buttons into plain ones; both are masked).
  check "control kinds and styles; no tab stops" python3 - "$OUT/start.out" <<'EOF'
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
sys.exit(0 if style & 0x80C000C0 == 0x80C000C0 and ex & 1 else 1)' "$OUT/start.out"
  check "start-up preview matches the reference rasterizer" compare_preview start-preview start.ppm "$IN/grid.csv" "$AREA"
  local repaint
  for repaint in invalidated covered restored; do
    check "repaint ($repaint) shows the newest drawing" \
      compare_preview "start-$repaint" "start-$repaint.ppm" "$IN/grid.csv" "$AREA"
  done
  check "quit ends with status 0" has_line start "exit 0"
  check "nothing on the error stream" test ! -s "$OUT/start.err"
}

# --- started without arguments, with a missing path, with a quoted path -------------------------------
scenario_bare() {
  local steps
  mapfile -t steps < <(start_steps "" bare.err)
  drive bare "${steps[@]}" dialog status rect 199 click-sync 106 no-window 800 close wait-exit
  check "start without arguments: empty status, no preview surface" bash -c \
    'grep -qx "status " "$0" && grep -qx "rect 199 none" "$0"' "$OUT/bare.out"
  check "start without arguments: save does nothing" has_line bare "no-window ok"
  check "close request ends with status 0" has_line bare "exit 0"
}

scenario_missing() {
  local steps
  mapfile -t steps < <(start_steps "$(winpath "$IN/missing.csv")" missing.err)
  drive missing "${steps[@]}" dialog status rect 199 click-sync 106 no-window 800 click 107 wait-exit
  check "missing start-up file: status 読込エラー, nothing drawn, save does nothing" bash -c \
    'grep -qx "status 読込エラー" "$0" && grep -qx "rect 199 none" "$0" && grep -qx "no-window ok" "$0"' "$OUT/missing.out"
  check "missing start-up file: 読込エラー on the error stream" \
    test "$(error_stream missing.err)" = "読込エラー: No such file or directory"
}

scenario_quoted() {
  local steps
  mapfile -t steps < <(start_steps "\"$(winpath "$IN/my grid.csv")\"" quoted.err)
  drive quoted "${steps[@]}" dialog status area capture "$(winpath "$OUT/quoted.ppm")" click 107 wait-exit
  check "quoted start-up path loses its quotation marks and loads" \
    compare_preview quoted-preview quoted.ppm "$IN/grid.csv" "$(value_of quoted area)"
  check "quoted start-up path: nothing on the error stream" test ! -s "$OUT/quoted.err"
}

# --- loads and saves through the real common dialogs ----------------------------------------------
scenario_dialogs() {
  local steps method
  mapfile -t steps < <(start_steps "$(winpath "$IN/grid.csv")" dialogs.err)
  drive dialogs "${steps[@]}" dialog area \
    click 104 open-file "$(winpath "$IN/surface.csv")" text 105 status \
    capture "$(winpath "$OUT/surface.ppm")" invalidate capture "$(winpath "$OUT/surface-repainted.ppm")" \
    click 106 save-file "$(winpath "$OUT/surface-face.dxf")" status \
    click-sync 112 click 106 save-file "$(winpath "$OUT/surface-mesh.dxf")" \
    click-sync 111 click 106 save-file "$(winpath "$OUT/surface-line.dxf")" \
    click 106 cancel-file \
    click-sync 109 visible 103 visible 111 visible 112 visible 113 click-sync 106 no-window 800 \
    click 104 open-file "$(winpath "$IN/profile.csv")" text 105 \
    capture "$(winpath "$OUT/profile.ppm")" \
    click 106 save-file "$(winpath "$OUT/profile-2d.dxf")" status \
    click-sync 110 visible 103 visible 111 visible 112 visible 113 click-sync 106 no-window 800 \
    click 107 wait-exit
  local area
  area=$(value_of dialogs area)
  check "load: 105 names the file, status 未出力" bash -c \
    'grep -qx "text 105 surface.csv" "$0" && grep -qx "status 未出力" "$0"' "$OUT/dialogs.out"
  check "open dialog starts empty; save dialog offers surface.dxf" bash -c \
    'grep -qx "file-dialog ファイルを開く initial=" "$0" && grep -qx "file-dialog ファイルの保存 initial=surface.dxf" "$0"' \
    "$OUT/dialogs.out"
  check "loaded 3D preview matches the reference rasterizer" compare_preview surface-preview surface.ppm "$IN/surface.csv" "$area"
  check "repaint after a load shows the newest drawing, not the start-up one's" \
    compare_preview surface-repainted surface-repainted.ppm "$IN/surface.csv" "$area"
  check "status 保存完了 after the save" has_line dialogs "status 保存完了"
  for method in face mesh line; do
    "$CLI" dxf --method $method "$IN/surface.csv" "$OUT/reference-$method.dxf"
    check "save with $method is byte-identical to plotvane-cli dxf" same_file "$OUT/surface-$method.dxf" "$OUT/reference-$method.dxf"
  done
  check "2D hides the Method group; saving a stale table does nothing" bash -c '
    for id in 103 111 112 113; do grep -qx "visible $id 0" "$0" || exit 1; done
    [ "$(grep -c "^no-window ok$" "$0")" = 2 ]' "$OUT/dialogs.out"
  check "3D shows the Method group again" bash -c \
    'for id in 103 111 112 113; do grep -qx "visible $id 1" "$0" || exit 1; done' "$OUT/dialogs.out"
  check "loaded 2D preview matches the reference rasterizer" compare_preview profile-preview profile.ppm "$IN/profile.csv" "$area" --2d
  "$CLI" dxf --method 2d "$IN/profile.csv" "$OUT/reference-2d.dxf"
  check "save in 2D is byte-identical to plotvane-cli dxf" same_file "$OUT/profile-2d.dxf" "$OUT/reference-2d.dxf"
  check "cancelled save dialog writes nothing" test ! -e "$OUT/surface.dxf"
}

# --- a load that fails after one that did ------------------------------------------------------------
# The table loaded before must not be saved under the new name: the dialog says 読込エラー and the
# save does nothing.
scenario_failed_load() {
  local steps
  mapfile -t steps < <(start_steps "$(winpath "$IN/grid.csv")" failed-load.err)
  drive failed-load "${steps[@]}" dialog status click 104 open-file "$(winpath "$IN/gone.csv")" text 105 status \
    click-sync 106 no-window 800 click 107 wait-exit
  failed_load_said() { has_line failed-load "text 105 gone.csv" && has_line failed-load "status 読込エラー"; }
  check "failed load after a good one: 105 names the file, status 読込エラー" failed_load_said
  check "failed load: the save does nothing, no gone.dxf" bash -c \
    'grep -qx "no-window ok" "$0" && [ ! -e "$1" ]' "$OUT/failed-load.out" "$IN/gone.dxf"
  check "failed load: 読込エラー on the error stream" test "$(error_stream failed-load.err)" = "読込エラー: No such file or directory"
}

# --- loads and saves in folders named in any script, and paths near and past 260 characters ----------
# A target of 250 characters: its temporary file's name passes 260. Wine's common dialogs take no
# path past 260 characters at all, so the long folder is loaded from the command line here and
# saved into by the batch tool (scenario cli).
scenario_unicode() {
  local steps near long=$OUT/long/$(printf 'x%.0s' $(seq 95))/$(printf 'y%.0s' $(seq 95))/$(printf 'z%.0s' $(seq 95))
  near=$OUT/near/$(printf 'n%.0s' $(seq $((250 - $(winpath "$OUT/near//near.dxf" | wc -m)))))
  mkdir -p "$OUT/Zoë" "$OUT/Zoe" "$OUT/한글 측량" "$OUT/📐 測量" "$near" "$long"
  cp "$IN/surface.csv" "$OUT/Zoë/surface.csv"
  cp "$IN/grid.csv" "$OUT/Zoe/surface.csv"  # what a code page 932 reading of Zoë would open
  cp "$IN/surface.csv" "$long/surface.csv"
  "$CLI" dxf --method face "$IN/surface.csv" "$OUT/unicode-reference.dxf"
  mapfile -t steps < <(start_steps "" unicode.err)
  drive unicode "${steps[@]}" dialog area \
    click 104 open-file "$(winpath "$OUT/Zoë/surface.csv")" text 105 status capture "$(winpath "$OUT/unicode.ppm")" \
    click 106 save-file "$(winpath "$OUT/한글 측량/面.dxf")" status \
    click 106 save-file "$(winpath "$OUT/📐 測量/surface.dxf")" status \
    click 106 save-file "$(winpath "$near/near.dxf")" status click 107 wait-exit
  check "Zoë/surface.csv loads, not Zoe's: 105, status 未出力" bash -c \
    'grep -qx "text 105 surface.csv" "$0" && grep -qx "status 未出力" "$0"' "$OUT/unicode.out"
  check "Zoë/surface.csv: its preview" compare_preview unicode-preview unicode.ppm "$IN/surface.csv" "$(value_of unicode area)"
  unicode_saved() {
    [ "$(grep -c "^status 保存完了$" "$OUT/unicode.out")" = 3 ] && same_file "$OUT/한글 측량/面.dxf" "$OUT/unicode-reference.dxf" &&
      same_file "$OUT/📐 測量/surface.dxf" "$OUT/unicode-reference.dxf"
  }
  check "saves into 한글 측량 and 📐 測量, byte-identical to plotvane-cli dxf" unicode_saved
  check "save to a target of $(winpath "$near/near.dxf" | wc -m) characters" same_file "$near/near.dxf" "$OUT/unicode-reference.dxf"
  check "nothing on the error stream" test ! -s "$OUT/unicode.err"
  mapfile -t steps < <(start_steps "$(winpath "$long/surface.csv")" unicode-long.err)
  drive unicode-long "${steps[@]}" dialog area status capture "$(winpath "$OUT/unicode-long.ppm")" click 107 wait-exit
  check "start-up load from a folder path of $(winpath "$long" | wc -m) characters: status 未出力" has_line unicode-long "status 未出力"
  check "start-up load from the long folder: its preview" \
    compare_preview unicode-long-preview unicode-long.ppm "$IN/surface.csv" "$(value_of unicode-long area)"
}

# --- a Western Windows: code page 1252 ------------------------------------------------------------------
# Every text the dialog shows reads as in Japan: buttons, labels, the status after a load and a save,
# the large-data question.
scenario_western() {
  local steps driver line
  mapfile -t steps < <(start_steps "$(winpath "$IN/bump.csv")" western.err)
  rm -f "$OUT/western.ready" "$OUT/western.taken"
  (wine_env_locale "$WORK" en_US.UTF-8 || exit 1
    drive western "${steps[@]}" dialog acp text 101 text 102 text 103 text 104 text 106 text 107 text 109 text 110 \
      text 111 text 112 text 113 status dialog-info signal "$(winpath "$OUT/western.ready")" \
      await "$(winpath "$OUT/western.taken")" click 104 open-file "$(winpath "$IN/cells99.csv")" \
      click 106 message ok save-file "$(winpath "$OUT/western.dxf")" status click 107 wait-exit) &
  driver=$!
  for _ in $(seq $((600 * SCALE))); do [ -e "$OUT/western.ready" ] && break; kill -0 $driver 2>/dev/null || break; sleep 0.1; done
  [ -e "$OUT/western.ready" ] && { wine_env_screenshot "$OUT/western.raw" "$OUT/plotvane-western.png" || log "     $WINE_ENV_ERROR"; }
  touch "$OUT/western.taken"
  wait $driver
  check "Western locale: code page 1252" has_line western "acp 1252"
  western_texts() {
    for line in "text 101 Ver.0.10.2" "text 102 Dimension" "text 103 Method" "text 104 ＣＳＶ読込" "text 106 ＤＸＦ保存" \
      "text 107 アプリ終了" "text 109 2D" "text 110 3D" "text 111 Line" "text 112 Mesh" "text 113 Face" "status 未出力" \
      "message Note | データ量が多いため保存に時間がかかります。\n続行しますか？ | owner=dialog" "status 保存完了"; do
      has_line western "$line" || return 1
    done
  }
  check "Western locale: buttons, labels, status and question read as in Japan" western_texts
  check "Western locale: screenshot" test -s "$OUT/plotvane-western.png"
  if [ "${PV_UPDATE_DOCS:-0}" = 1 ] && [ "$LABEL" = win64 ] && [ -s "$OUT/plotvane-western.png" ]; then
    mkdir -p "$ROOT/docs" && cp "$OUT/plotvane-western.png" "$ROOT/docs/"
  fi
}

# --- the large-data question --------------------------------------------------------------------------
scenario_large() {
  local steps
  mapfile -t steps < <(start_steps "" large.err)
  drive large "${steps[@]}" dialog \
    click 104 open-file "$(winpath "$IN/cells98.csv")" click 106 save-file "$(winpath "$OUT/cells98.dxf")" \
    click 104 open-file "$(winpath "$IN/cells99.csv")" \
    click 106 message cancel no-window 800 \
    click 106 message ok save-file "$(winpath "$OUT/cells99.dxf")" status \
    click 107 wait-exit
  check "no question at 100 x 100 = 10000 cells" test -s "$OUT/cells98.dxf"
  check "question above 10000 cells, with its text and OK/Cancel" test "$(grep -cxF \
    'message Note | データ量が多いため保存に時間がかかります。\n続行しますか？ | owner=dialog' "$OUT/large.out")" = 2
  check "Cancel ends the save silently; OK goes on to the save dialog" bash -c \
    'grep -qx "no-window ok" "$0" && grep -qx "status 保存完了" "$0"' "$OUT/large.out"
  "$CLI" dxf --method face "$IN/cells99.csv" "$OUT/reference-cells99.dxf"
  check "large save is byte-identical to plotvane-cli dxf" same_file "$OUT/cells99.dxf" "$OUT/reference-cells99.dxf"
}

# The question alone, without a file dialog (qemu's emulation breaks 32-bit common dialogs).
scenario_question() {
  local steps
  mapfile -t steps < <(start_steps "$(winpath "$IN/cells99.csv")" question.err)
  drive question "${steps[@]}" dialog click 106 message cancel no-window 800 click 107 wait-exit
  check "question above 10000 cells; Cancel ends the save silently" bash -c \
    'grep -qxF "message Note | データ量が多いため保存に時間がかかります。\n続行しますか？ | owner=dialog" "$0" &&
      grep -qx "no-window ok" "$0" && grep -qx "exit 0" "$0"' "$OUT/question.out"
}

# --- the batch tool of the build, against the native one ---------------------------------------------
scenario_cli() {
  local method
  # The face document replaces a file that is there, as a save over an old drawing does.
  printf 'the drawing saved last week\r\n' >"$OUT/cli-face.dxf"
  for method in face mesh line 2d; do
    local input=$IN/surface.csv
    [ $method = 2d ] && input=$IN/profile.csv
    wine_run "$BIN/plotvane-cli.exe" dxf --method $method "$(winpath "$input")" "$(winpath "$OUT/cli-$method.dxf")"
    "$CLI" dxf --method $method "$input" "$OUT/native-$method.dxf"
    check "plotvane-cli.exe dxf --method $method is byte-identical to the native tool's" \
      same_file "$OUT/cli-$method.dxf" "$OUT/native-$method.dxf"
  done
  check "replacing a file leaves no temporary or replaced file behind" \
    bash -c '! ls "$0" | grep -q "^cli-.*\.\(tmp\|old\)$"' "$OUT"
  wine_run "$BIN/plotvane-cli.exe" fold "$(winpath "$ROOT/samples/points.xyz")" "$(winpath "$OUT/cli-fold.csv")"
  "$CLI" fold "$ROOT/samples/points.xyz" "$OUT/native-fold.csv"
  check "plotvane-cli.exe fold is byte-identical to the native tool's" same_file "$OUT/cli-fold.csv" "$OUT/native-fold.csv"
  # Paths in any script and past 260 characters, as arguments and in its messages (UTF-8 to a pipe).
  local long=$OUT/cli-long/$(printf 'x%.0s' $(seq 95))/$(printf 'y%.0s' $(seq 95))/$(printf 'z%.0s' $(seq 95))
  mkdir -p "$OUT/cli-Zoë" "$OUT/cli-📐 한글" "$long"
  cp "$IN/surface.csv" "$OUT/cli-Zoë/surface.csv"
  cp "$ROOT/samples/points.xyz" "$OUT/cli-📐 한글/points.xyz"
  wine_run "$BIN/plotvane-cli.exe" dxf --method face "$(winpath "$OUT/cli-Zoë/surface.csv")" "$(winpath "$long/surface.dxf")"
  wine_run "$BIN/plotvane-cli.exe" fold "$(winpath "$OUT/cli-📐 한글/points.xyz")" "$(winpath "$long/grid.csv")"
  cli_unicode() { same_file "$long/surface.dxf" "$OUT/native-face.dxf" && same_file "$long/grid.csv" "$OUT/native-fold.csv"; }
  check "plotvane-cli.exe from Zoë and 📐 한글 into a folder path of $(winpath "$long" | wc -m) characters" cli_unicode
  wine_run "$BIN/plotvane-cli.exe" dxf "$(winpath "$OUT/cli-📐 한글/missing.csv")" 2>"$OUT/cli-missing.err"
  check "plotvane-cli.exe names a missing 📐 한글 path whole on its error stream" \
    grep -qF "cannot read $(winpath "$OUT/cli-📐 한글/missing.csv"): " "$OUT/cli-missing.err"
}

# --- failed saves -----------------------------------------------------------------------------------
# A folder where no file can be created, root or not. (A read-only target is no test under Wine:
# its MoveFileEx replaces read-only files, which Windows refuses.)
scenario_blocked() {
  local steps
  mapfile -t steps < <(start_steps "$(winpath "$IN/surface.csv")" blocked.err)
  drive blocked "${steps[@]}" dialog click 106 save-file 'Z:\proc\self\blocked.dxf' sync status click 107 wait-exit
  log "     error stream: $(error_stream blocked.err)"
  check "unwritable folder: 書込みエラー on the error stream and in the status bar" bash -c \
    '[[ "$0" == 書込みエラー:\ ?* ]] && grep -qx "status 書込みエラー" "$1"' "$(error_stream blocked.err)" "$OUT/blocked.out"
}

scenario_full() {
  local steps
  printf 'the drawing saved last week\r\n' >"$OUT/full.dxf"
  cp "$OUT/full.dxf" "$OUT/full.before"
  mapfile -t steps < <(start_steps "$(winpath "$IN/wide.csv")" full.err)
  (
    trap '' XFSZ
    ulimit -f 256
    drive full "${steps[@]}" dialog click 106 save-file "$(winpath "$OUT/full.dxf")" sync status click 107 wait-exit
  )
  check "full disk: status 書込みエラー, the file that was there intact, no temporary left" bash -c \
    'grep -qx "status 書込みエラー" "$0" && cmp -s "$1" "$2" && [ -z "$(ls "$3" | grep "^full\.dxf\..*tmp$")" ]' \
    "$OUT/full.out" "$OUT/full.dxf" "$OUT/full.before" "$OUT"
  log "     error stream: $(error_stream full.err)"
  check "full disk: reported on the error stream" bash -c '[[ "$0" == 書込みエラー:\ ?* ]]' "$(error_stream full.err)"
}

# --- memory exhaustion ---------------------------------------------------------------------------------
memory_exhaustion() {  # NAME INPUT
  local steps
  mapfile -t steps < <(start_steps "$(winpath "$2")" "$1.err")
  drive "$1" "${steps[@]}" message ok wait-exit
  check "memory exhaustion ($(basename "$2")): Error box with メモリ確保に失敗しました" bash -c \
    'grep -q "^message Error | メモリ確保に失敗しました | " "$0"' "$OUT/$1.out"
  check "memory exhaustion ($(basename "$2")): exit status 1" has_line "$1" "exit 1"
}

scenario_huge() { memory_exhaustion huge "$IN/huge.csv"; }

# A table the 32-bit address space cannot hold: the real allocation fails, no injection.
scenario_huge32() {
  [ "$LABEL" = win32 ] || return 0
  memory_exhaustion huge32 "$IN/huge32.csv"
  wine_run "$BIN/plotvane-cli.exe" dxf "$(winpath "$IN/huge32.csv")" "$(winpath "$OUT/huge32.dxf")" \
    >"$OUT/huge32-cli.out" 2>"$OUT/huge32-cli.err"
  local status=$?
  log "     plotvane-cli.exe: $(tr -d '\r' <"$OUT/huge32-cli.err")"
  check "plotvane-cli.exe on a table beyond 32 bits: one line on stderr, exit status 1, no output file" bash -c \
    '[ "$0" = 1 ] && [ "$(tr -d "\r" <"$1" | wc -l)" = 1 ] && grep -q "cannot read" "$1" && [ ! -e "$2" ]' \
    "$status" "$OUT/huge32-cli.err" "$OUT/huge32.dxf"
}

# --- dense grids: the canvas's polylines give the pixels of the operations ----------------------------------
scenario_dense() {
  local steps area
  mapfile -t steps < <(start_steps "$(winpath "$IN/dense1000.csv")" dense.err)
  drive dense "${steps[@]}" dialog area capture "$(winpath "$OUT/dense-start.ppm")" \
    click 104 open-file "$(winpath "$IN/dense300.csv")" capture "$(winpath "$OUT/dense-load.ppm")" \
    invalidate capture "$(winpath "$OUT/dense-repainted.ppm")" click 107 wait-exit
  area=$(value_of dense area)
  check "1000 x 1000 grid at start matches the reference rasterizer" \
    compare_preview dense-start dense-start.ppm "$IN/dense1000.csv" "$area"
  check "300 x 300 grid loaded matches the reference rasterizer" \
    compare_preview dense-load dense-load.ppm "$IN/dense300.csv" "$area"
  check "300 x 300 grid repainted matches the reference rasterizer" \
    compare_preview dense-repainted dense-repainted.ppm "$IN/dense300.csv" "$area"
}

# --- 150 % scaling ----------------------------------------------------------------------------------------
# The manifest makes the programs aware of the system DPI: at 144 DPI the dialog is laid out larger,
# and its preview, drawn pixel for pixel, still equals the reference rasterizer's for the live area.
scenario_dpi() {
  local steps area
  mapfile -t steps < <(start_steps "$(winpath "$IN/surface.csv")" dpi.err)
  STAGE_DPI=144
  wine_env_dpi $STAGE_DPI
  drive dpi "${steps[@]}" dialog area capture "$(winpath "$OUT/dpi.ppm")" click 107 wait-exit
  STAGE_DPI=96
  wine_env_dpi $STAGE_DPI
  area=$(value_of dpi area)
  log "     preview area at 144 DPI: $area"
  check "at 144 DPI the dialog is laid out larger" test "$(printf '%s' "$area" | cut -d, -f2)" -gt 300
  check "at 144 DPI the preview matches the reference rasterizer" compare_preview dpi dpi.ppm "$IN/surface.csv" "$area"
}

# --- extended precision in the live program -------------------------------------------------------------
scenario_precise() {
  local steps area
  mapfile -t steps < <(start_steps "" precise.err)
  # The area is the same for every start of the same build; the first drive measures it.
  drive precise-area "${steps[@]}" dialog area click 107 wait-exit
  area=$(value_of precise-area area)
  drive precision precision-profile "$(winpath "$OUT/precise.csv")" "$(printf '%s' "$area" | cut -d, -f2)"
  drive precise "${steps[@]}" dialog click-sync 109 click 104 open-file "$(winpath "$OUT/precise.csv")" \
    capture "$(winpath "$OUT/precise.ppm")" click 107 wait-exit
  log "     $(cat "$OUT/precision.out")"
  check "points that differ between 53- and 64-bit rounding land where the reference puts them" \
    compare_preview precise-preview precise.ppm "$OUT/precise.csv" "$area" --2d
}

# --- screenshots ------------------------------------------------------------------------------------------
scenario_screenshots() {
  local shot input extra steps driver
  for shot in 3d 2d; do
    if [ $shot = 3d ]; then input=bump.csv extra=(); else input=wave.csv extra=(click-sync 109); fi
    mapfile -t steps < <(start_steps "" "shot-$shot.err")
    rm -f "$OUT/shot-$shot.ready" "$OUT/shot-$shot.taken"
    drive "shot-$shot" "${steps[@]}" dialog "${extra[@]}" click 104 open-file "$(winpath "$IN/$input")" \
      capture "$(winpath "$OUT/shot-$shot.ppm")" dialog-info signal "$(winpath "$OUT/shot-$shot.ready")" \
      await "$(winpath "$OUT/shot-$shot.taken")" click 107 wait-exit &
    driver=$!
    for _ in $(seq $((600 * SCALE))); do [ -e "$OUT/shot-$shot.ready" ] && break; sleep 0.1; done
    wine_env_screenshot "$OUT/shot-$shot.raw" "$OUT/plotvane-$shot.png" || log "     $WINE_ENV_ERROR"
    touch "$OUT/shot-$shot.taken"
    wait $driver
    check "screenshot of the dialog with the $shot preview" \
      test "$(identify -format '%wx%h' "$OUT/plotvane-$shot.png" 2>/dev/null)" = "$(wine_env_window_size "$OUT/shot-$shot.out")"
    if [ "${PV_UPDATE_DOCS:-0}" = 1 ] && [ "$LABEL" = win64 ] && [ -s "$OUT/plotvane-$shot.png" ]; then
      mkdir -p "$ROOT/docs" && cp "$OUT/plotvane-$shot.png" "$ROOT/docs/"
    fi
  done
}

# Where 32-bit programs are emulated, the first list covers the viewer on win32: its start-up
# load and preview, the question, the memory message and the batch tool's saves. qemu's emulation
# breaks the common file dialogs of a 32-bit process, so loads and saves through them (dialogs,
# large) then run on win64 alone.
stage_main wine-viewer "template start question huge32 cli" \
  template fpu start bare missing quoted dialogs failed_load unicode western large question blocked full huge huge32 \
  precise dense dpi screenshots cli
