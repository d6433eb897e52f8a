#!/usr/bin/env bash
# The real gridfold.exe under Wine on a private Xvfb display, in a Japanese locale: command-line
# runs write TMPn.csv next to the X,Y,Z list and start the real plotvane.exe on it, found in the
# input's folder, in the working directory or on the search path; a failed check; and a viewer
# found nowhere. The viewer and the message boxes are read by pv_wine_driver.exe. Each scenario
# runs for the win64 build and for the shipped win32 programs of the release ZIP
# (scripts/test.d/wine-stage.sh).
set -u
# shellcheck source=wine-stage.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-stage.sh"

stage_inputs() {
  cp "$ROOT/samples/points.xyz" "$IN/points.xyz" || give_up "samples/points.xyz is missing"
  # A 5 x 4 grid with all Z values distinct, lines in reverse order: another picture, another grid.
  awk 'BEGIN { for (j = 3; j >= 0; j--) for (i = 4; i >= 0; i--)
    printf "%d,%d,%.2f\r\n", i * 2, j * 3, 0.5 * i + 1.25 * j * j + 0.01 * i * j }' >"$IN/second.xyz"
  printf '1,2,3\r\n4,5,6\r\n7,8\r\n10,11,12\r\n' >"$IN/bad.xyz"
  "$CLI" fold "$IN/points.xyz" "$IN/reference-points.csv" || give_up "plotvane-cli fold failed"
  "$CLI" fold "$IN/second.xyz" "$IN/reference-second.csv" || give_up "plotvane-cli fold failed"
}

# gridfold.exe sits alone: Wine's search for a bare program name also looks in the starting
# program's own folder, which would find a plotvane.exe placed next to it before any other.
app() {
  mkdir -p "$OUT/app" "$OUT/empty"
  [ -f "$OUT/app/gridfold.exe" ] || cp "$BIN/gridfold.exe" "$OUT/app/"
}
start_steps() { printf '%s\n' start "$(winpath "$OUT/app/gridfold.exe")" "$(winpath "$1")" "$(winpath "$OUT/$2")"; }
# The exit statuses a driver run saw, in order: the converter's, then the viewer's.
exits_are() {
  local seen
  seen=$(grep '^exit ' "$OUT/$1.out" | cut -d' ' -f2 | tr '\n' ' ')
  [ "$seen" = "$2 " ] || { log "     $1: exit statuses '$seen', expected '$2 '"; return 1; }
}
# Code page 932 bytes in hex, as the driver's message-cp932 step prints them.
cp932_hex() { printf '%s' "$1" | iconv -f UTF-8 -t CP932 | od -An -v -tx1 | tr -d ' \n'; }
# gridfold_from_shell NAME CWD INPUT: gridfold.exe started as from a command prompt, in the
# background; its exit status lands in $OUT/NAME.status.
# GRIDFOLD (default $OUT/app/gridfold.exe) is the program started.
gridfold_from_shell() {
  local exe=${GRIDFOLD:-$OUT/app/gridfold.exe}
  (cd "$2" && timeout $((60 * SCALE)) "$(wine_env_loader "$exe")" "$exe" "$(winpath "$3")" >"$OUT/$1.gridfold" 2>&1
    echo $? >"$OUT/$1.status") &
  GRIDFOLD_JOB=$!
}
status_is() {
  [ "$(cat "$OUT/$1.status" 2>/dev/null)" = "$2" ] ||
    { log "     $1: gridfold ended with '$(cat "$OUT/$1.status" 2>/dev/null)'"; return 1; }
}

# --- first run, from a command prompt: plotvane.exe in the input's folder -------------------------
# A blank and Japanese in the folder name: the grid file's path reaches the viewer unquoted, as
# its whole command-line tail.
scenario_first() {
  app
  DATA="$OUT/測点 データ"
  mkdir -p "$DATA"
  cp "$IN/points.xyz" "$DATA/points.xyz"
  cp "$BIN/plotvane.exe" "$DATA/"
  gridfold_from_shell first "$OUT/empty" "$DATA/points.xyz"
  rm -f "$OUT/first.ready" "$OUT/first.taken"
  drive first viewer-dialog image status checked 110 checked 113 area capture "$(winpath "$OUT/first.ppm")" \
    dialog-info signal "$(winpath "$OUT/first.ready")" await "$(winpath "$OUT/first.taken")" \
    click 107 wait-exit processes plotvane.exe &
  local driver=$!
  for _ in $(seq $((600 * SCALE))); do [ -e "$OUT/first.ready" ] && break; kill -0 $driver 2>/dev/null || break; sleep 0.1; done
  [ -e "$OUT/first.ready" ] && { wine_env_screenshot "$OUT/first.raw" "$OUT/gridfold-plotvane.png" || log "     $WINE_ENV_ERROR"; }
  touch "$OUT/first.taken"
  wait $driver
  wait "$GRIDFOLD_JOB"
  log "     viewer: $(value_of first image); preview area $(value_of first area)"
  check "command-line run: gridfold exits with 0" status_is first 0
  check "TMP1.csv next to the input, byte-identical to plotvane-cli fold" \
    same_file "$DATA/TMP1.csv" "$IN/reference-points.csv"
  first_run_wrote_only_tmp1() { holds "$DATA" points.xyz plotvane.exe TMP1.csv && holds "$OUT/empty"; }
  check "nothing else written, neither in the input's folder nor in the working directory" first_run_wrote_only_tmp1
  check "viewer started from the input's folder" has_line first "image $(winpath "$DATA/plotvane.exe")"
  opened_in_3d() { has_line first "checked 110 1" && has_line first "checked 113 1" && has_line first "status 未出力"; }
  check "viewer opens in 3D with Face, status 未出力" opened_in_3d
  check "viewer shows TMP1.csv: preview matches the reference rasterizer" \
    compare_preview first-preview first.ppm "$DATA/TMP1.csv" "$(value_of first area)"
  check "screenshot of the viewer" test -s "$OUT/gridfold-plotvane.png"
  quit_and_gone() { exits_are first 0 && has_line first "processes plotvane.exe 0"; }
  check "viewer quits with 0 and no viewer is left" quit_and_gone
  if [ "${PV_UPDATE_DOCS:-0}" = 1 ] && [ "$LABEL" = win64 ] && [ -s "$OUT/gridfold-plotvane.png" ]; then
    mkdir -p "$ROOT/docs" && cp "$OUT/gridfold-plotvane.png" "$ROOT/docs/"
  fi
}

# --- second run on the first run's folder, another list: TMP2.csv -----------------------------------
scenario_second() {
  cp "$IN/second.xyz" "$DATA/second.xyz"
  gridfold_from_shell second "$OUT/empty" "$DATA/second.xyz"
  drive second viewer-dialog image area capture "$(winpath "$OUT/second.ppm")" click 107 wait-exit \
    processes plotvane.exe
  wait "$GRIDFOLD_JOB"
  check "second run: gridfold exits with 0" status_is second 0
  second_run_files() {
    same_file "$DATA/TMP2.csv" "$IN/reference-second.csv" && same_file "$DATA/TMP1.csv" "$IN/reference-points.csv"
  }
  check "TMP2.csv byte-identical to plotvane-cli fold; TMP1.csv untouched" second_run_files
  check "second run: no other file" holds "$DATA" points.xyz second.xyz plotvane.exe TMP1.csv TMP2.csv
  check "second run: viewer shows TMP2.csv" \
    compare_preview second-preview second.ppm "$DATA/TMP2.csv" "$(value_of second area)"
}

# --- viewer in the working directory (the start by bare name) ----------------------------------------
# TMP1.$$$ there holds number 1 back, even though the input's folder has no TMP1.csv.
scenario_by_cwd() {
  app
  local steps
  mkdir -p "$OUT/by-cwd" "$OUT/viewer-cwd"
  cp "$IN/points.xyz" "$OUT/by-cwd/points.xyz"
  cp "$BIN/plotvane.exe" "$OUT/viewer-cwd/"
  : >"$OUT/viewer-cwd/TMP1.\$\$\$"
  mapfile -t steps < <(start_steps "$OUT/by-cwd/points.xyz" by-cwd.err)
  (cd "$OUT/viewer-cwd" && drive by-cwd "${steps[@]}" wait-exit viewer-dialog image status click 107 wait-exit \
    processes plotvane.exe)
  check "viewer found in the working directory" has_line by-cwd "image $(winpath "$OUT/viewer-cwd/plotvane.exe")"
  check "working directory: gridfold and the viewer exit with 0" exits_are by-cwd "0 0"
  reserved_number_passed_over() {
    holds "$OUT/by-cwd" points.xyz TMP2.csv && holds "$OUT/viewer-cwd" 'TMP1.$$$' plotvane.exe &&
      same_file "$OUT/by-cwd/TMP2.csv" "$IN/reference-points.csv"
  }
  check "TMP1.\$\$\$ in the working directory: the output is TMP2.csv" reserved_number_passed_over
}

# --- viewer on the search path (the start by bare name) -----------------------------------------------
scenario_by_path() {
  app
  local steps
  mkdir -p "$OUT/by-path" "$OUT/viewer-path"
  cp "$IN/points.xyz" "$OUT/by-path/points.xyz"
  cp "$BIN/plotvane.exe" "$OUT/viewer-path/"
  mapfile -t steps < <(start_steps "$OUT/by-path/points.xyz" by-path.err)
  # WINEPATH goes into the PATH of the programs Wine starts.
  (export WINEPATH; WINEPATH=$(winpath "$OUT/viewer-path"); cd "$OUT/empty" &&
    drive by-path "${steps[@]}" wait-exit viewer-dialog image status click 107 wait-exit processes plotvane.exe)
  check "viewer found on the search path" has_line by-path "image $(winpath "$OUT/viewer-path/plotvane.exe")"
  check "search path: gridfold and the viewer exit with 0" exits_are by-path "0 0"
  check "search path: TMP1.csv written" same_file "$OUT/by-path/TMP1.csv" "$IN/reference-points.csv"
}

# --- an input named with a kanji that ends in the byte of a backslash ----------------------------------
# 表 is 0x95 0x5C in code page 932: the directory part must end at the real separator.
scenario_kanji() {
  app
  local steps kanji=$OUT/kanji
  mkdir -p "$kanji"
  cp "$IN/points.xyz" "$kanji/表.xyz"
  cp "$BIN/plotvane.exe" "$kanji/"
  mapfile -t steps < <(start_steps "$kanji/表.xyz" kanji.err)
  (cd "$OUT/empty" && drive kanji "${steps[@]}" wait-exit viewer-dialog image click 107 wait-exit processes plotvane.exe)
  check "kanji input name: viewer started from the input's folder" has_line kanji "image $(winpath "$kanji/plotvane.exe")"
  kanji_tmp1() { holds "$kanji" 表.xyz plotvane.exe TMP1.csv && same_file "$kanji/TMP1.csv" "$IN/reference-points.csv"; }
  check "kanji input name: TMP1.csv in the input's folder" kanji_tmp1
}

# --- folders named in any script, and a folder path of 300 characters ---------------------------------
# Zoë has a Zoe beside it, which a code page 932 reading of the path would name instead. The viewer
# sits in the list's folder, except for the long path: there the two programs sit side by side as
# the release ZIP installs them (Wine cannot start a program by a short 8.3 path after a failed
# search by name, which the start from the list's folder of such a path takes).
long_folder() { printf '%s/long/%s/%s/%s' "$OUT" "$(printf 'x%.0s' $(seq 95))" "$(printf 'y%.0s' $(seq 95))" "$(printf 'z%.0s' $(seq 95))"; }
scenario_unicode() {
  app
  local dir name viewer shown folders=("$OUT/Zoë" "$OUT/한글 측량" "$OUT/📐 測量" "$(long_folder)")
  mkdir -p "$OUT/Zoe" "$OUT/installed"
  cp "$IN/second.xyz" "$OUT/Zoe/points.xyz"
  cp "$BIN/gridfold.exe" "$BIN/plotvane.exe" "$OUT/installed/"
  for dir in "${folders[@]}"; do
    name=unicode-$(printf '%s' "$dir" | md5sum | cut -c1-6)
    mkdir -p "$dir"
    cp "$IN/points.xyz" "$dir/points.xyz"
    shown=${dir#"$OUT/"} viewer=$dir GRIDFOLD=
    if ((${#shown} > 40)); then
      shown="a folder path of $(winpath "$dir" | wc -m) characters" viewer=$OUT/installed GRIDFOLD=$viewer/gridfold.exe
    else
      cp "$BIN/plotvane.exe" "$dir/"
    fi
    gridfold_from_shell "$name" "$OUT/empty" "$dir/points.xyz"
    drive "$name" viewer-dialog image status click 107 wait-exit processes plotvane.exe
    wait "$GRIDFOLD_JOB"
    check "$shown: gridfold exits with 0" status_is "$name" 0
    check "$shown: TMP1.csv in the list's own folder" same_file "$dir/TMP1.csv" "$IN/reference-points.csv"
    unicode_viewer() { has_line "$1" "image $(winpath "$2/plotvane.exe")" && has_line "$1" "status 未出力"; }
    check "$shown: plotvane.exe started on it, status 未出力" unicode_viewer "$name" "$viewer"
  done
  GRIDFOLD=
  check "Zoe beside Zoë: untouched" holds "$OUT/Zoe" points.xyz
}

# --- a list that begins with a line of column names ------------------------------------------------
scenario_header() {
  app
  local steps header=$OUT/header
  mkdir -p "$header"
  { printf 'X,Y,Z\r\n'; cat "$IN/points.xyz"; } >"$header/points.xyz"
  cp "$BIN/plotvane.exe" "$header/"
  mapfile -t steps < <(start_steps "$header/points.xyz" header.err)
  (cd "$OUT/empty" && drive header "${steps[@]}" wait-exit viewer-dialog status area \
    capture "$(winpath "$OUT/header.ppm")" click 107 wait-exit)
  check "header line: TMP1.csv as for the list without it" same_file "$header/TMP1.csv" "$IN/reference-points.csv"
  check "header line: the viewer opens on TMP1.csv, status 未出力" has_line header "status 未出力"
  check "header line: the viewer shows the surface (the reference rasterizer's picture)" \
    compare_preview header-preview header.ppm "$IN/reference-points.csv" "$(value_of header area)"
}

# --- a Western Windows: code page 1252 ------------------------------------------------------------------
# The folder part ends at the backslash after José, for gridfold's TMP1.csv and for the name plotvane
# proposes; the messages read as in Japan.
scenario_western() {
  app
  local steps text western=$OUT/José
  mkdir -p "$western"
  cp "$IN/points.xyz" "$western/pts.xyz"
  cp "$IN/bad.xyz" "$western/bad.xyz"
  cp "$BIN/plotvane.exe" "$western/"
  mapfile -t steps < <(start_steps "$western/pts.xyz" western.err)
  (wine_env_locale "$WORK" en_US.UTF-8 || exit 1; cd "$OUT/empty" &&
    drive western acp "${steps[@]}" wait-exit viewer-dialog image status click 106 cancel-file click 107 wait-exit &&
    mapfile -t steps < <(start_steps "$western/bad.xyz" western-bad.err) &&
    drive western-bad "${steps[@]}" message ok wait-exit)
  check "Western locale: code page 1252" has_line western "acp 1252"
  check "Western locale: viewer started from José's folder" has_line western "image $(winpath "$western/plotvane.exe")"
  western_tmp1() { holds "$western" pts.xyz bad.xyz plotvane.exe TMP1.csv && same_file "$western/TMP1.csv" "$IN/reference-points.csv"; }
  check "Western locale: TMP1.csv in José's folder" western_tmp1
  check "Western locale: the viewer proposes TMP1.dxf, status 未出力" bash -c \
    'grep -q " initial=TMP1\.dxf$" "$0" && grep -qx "status 未出力" "$0"' "$OUT/western.out"
  text='3行目が３つのデータ（X,Y,Z）の構成になっていません。\n終了します。'
  check "Western locale: gridfold's message reads as in Japan" has_line western-bad "message Error | $text | owner=none"
}

# --- a list whose line 3 holds one comma ---------------------------------------------------------------
scenario_bad() {
  app
  local steps text
  mkdir -p "$OUT/bad"
  cp "$IN/bad.xyz" "$OUT/bad/bad.xyz"
  cp "$BIN/plotvane.exe" "$OUT/bad/"
  mapfile -t steps < <(start_steps "$OUT/bad/bad.xyz" bad.err)
  (cd "$OUT/empty" && drive bad "${steps[@]}" message-cp932 message ok no-window 1000 wait-exit processes plotvane.exe)
  text='3行目が３つのデータ（X,Y,Z）の構成になっていません。'$'\n''終了します。'
  check "bad line 3: one Error box, no owner, with the line number" \
    has_line bad "message Error | ${text//$'\n'/\\n} | owner=none"
  check "bad line 3: the box's text in code page 932 bytes" \
    has_line bad "message-cp932 $(cp932_hex Error) | $(cp932_hex "$text")"
  one_box_then_1() { has_line bad "no-window ok" && exits_are bad 1; }
  check "bad line 3: no second box, exit status 1" one_box_then_1
  nothing_started() { holds "$OUT/bad" bad.xyz plotvane.exe && holds "$OUT/empty" && has_line bad "processes plotvane.exe 0"; }
  check "bad line 3: no TMP file, no viewer" nothing_started
}

# --- no plotvane.exe anywhere ------------------------------------------------------------------------------
scenario_alone() {
  app
  local steps text alone="$OUT/単独"
  mkdir -p "$alone"
  cp "$IN/points.xyz" "$alone/points.xyz"
  mapfile -t steps < <(start_steps "$alone/points.xyz" alone.err)
  (cd "$OUT/empty" && drive alone "${steps[@]}" message-cp932 message ok no-window 1000 wait-exit processes plotvane.exe)
  text="plotvane.exe が見つかりませんでした"$'\n'"($(winpath "$alone/plotvane.exe"))"
  check "viewer found nowhere: Error box naming plotvane.exe in the input's folder, no owner" \
    has_line alone "message Error | ${text//$'\n'/\\n} | owner=none"
  check "viewer found nowhere: the box's text in code page 932 bytes" \
    has_line alone "message-cp932 $(cp932_hex Error) | $(cp932_hex "$text")"
  converted_anyway() {
    has_line alone "no-window ok" && exits_are alone 0 && same_file "$alone/TMP1.csv" "$IN/reference-points.csv"
  }
  check "viewer found nowhere: one box, exit status 0, TMP1.csv written" converted_anyway
}

# Where 32-bit programs are emulated, the first list covers every flow of the converter once on win32.
stage_main wine-gridfold "first bad" first second by_cwd by_path kanji unicode header western bad alone
