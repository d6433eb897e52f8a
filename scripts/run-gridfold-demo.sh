#!/usr/bin/env bash
# The main job, end to end: the real gridfold.exe converts the bundled X,Y,Z list under Wine,
# writes TMP1.csv next to it and starts the real plotvane.exe, which shows the surface.
#
#   scripts/run-gridfold-demo.sh
#
# The programs are those we ship: gridfold.exe and plotvane.exe from the release ZIP, unpacked
# (scripts/make-release.sh), where this machine runs 32-bit programs itself. Where it would run
# them only under qemu's emulation (about 45 s a start), the win64 build stands in, and the script
# says so. Every run starts afresh in build/demo/work (a copy of points.xyz); gridfold.exe runs
# from build/demo/app and finds plotvane.exe beside itself. Wine uses the prefix the test command
# shares, build/wineprefix, made on first use (remove it to start from scratch).
#
# With a desktop ($DISPLAY answers), plotvane stays open there for the user. Without one, a private
# Xvfb is started; the script waits for plotvane's dialog, saves build/demo/plotvane.png, closes
# plotvane and ends.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"

demo=$root/build/demo
app=$demo/app
work=$demo/work
shot=$demo/plotvane.png
headless=0
say() { printf 'gridfold-demo: %s\n' "$*"; }
die() {
  say "$*"
  [ "$headless" = 1 ] && wine_env_stop
  exit 1
}

# --- the programs ---------------------------------------------------------------------------------
mkdir -p "$demo"
bash scripts/install-deps.sh --windows --gui --win32-run || die "installing the dependencies failed"
# What watches plotvane for the screenshot is a tool of the win64 build's GUI tests.
{ [ -f build/win64/CMakeCache.txt ] || cmake --preset win64; } >"$demo/build.log" 2>&1 &&
  cmake --build --preset win64 --target pv_gui_watch >>"$demo/build.log" 2>&1 ||
  { tail -20 "$demo/build.log"; die "the win64 build failed (see $demo/build.log)"; }
rm -rf "$app" "$work"
mkdir -p "$app" "$work"
if wine_env_emulated; then
  say "this kernel runs 32-bit programs only under qemu's emulation (about 45 s a start): the win64 build stands in for the shipped one"
  cmake --build --preset win64 --target gridfold plotvane >>"$demo/build.log" 2>&1 ||
    { tail -20 "$demo/build.log"; die "the win64 build failed (see $demo/build.log)"; }
  cp build/win64/bin/gridfold.exe build/win64/bin/plotvane.exe "$app/"
else
  say "this kernel runs 32-bit programs itself: the shipped programs, from the release ZIP"
  bash scripts/make-release.sh >"$demo/release.log" 2>&1 ||
    { tail -20 "$demo/release.log"; die "the release ZIP could not be made (see $demo/release.log)"; }
  version=$(sed -n 's/^project(plotvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  python3 -m zipfile -e "build/release/plotvane-$version-win32.zip" "$demo/zip" || die "cannot unpack the release ZIP"
  cp "$demo/zip/plotvane-$version-win32/gridfold.exe" "$demo/zip/plotvane-$version-win32/plotvane.exe" "$app/"
  rm -rf "$demo/zip"
fi
gridfold=$app/gridfold.exe
loader=$(wine_env_loader "$gridfold") || die "no Wine loader runs $gridfold"
say "programs in $app: gridfold.exe and plotvane.exe"

# --- display, locale, prefix ----------------------------------------------------------------------
display_answers() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo >/dev/null 2>&1; then xdpyinfo >/dev/null 2>&1; else [ -S "/tmp/.X11-unix/X${DISPLAY#*:}" ]; fi
}
if display_answers; then
  say "desktop $DISPLAY: plotvane will stay open there"
else
  [ -n "${DISPLAY:-}" ] && say "display $DISPLAY does not answer; working without a desktop"
  headless=1
  wine_env_xvfb "$demo" || die "$WINE_ENV_ERROR"
  say "no desktop: private Xvfb on $DISPLAY"
fi
wine_env_locale "$demo" || die "$WINE_ENV_ERROR"
[ -f "$WINE_ENV_PREFIX/.pv-ready" ] || say "making the Wine prefix $WINE_ENV_PREFIX (once)"
wine_env_prefix "$WINE_ENV_PREFIX" "$demo/wineboot.log" || die "$WINE_ENV_ERROR"
# Also ends what an earlier run may have left open in this prefix.
wine_env_server "$demo/wineserver.log"
# On Xvfb there is no window manager: Wine then draws the captions itself.
if [ "$headless" = 1 ]; then wine_env_undecorated N; else wine_env_undecorated Y; fi

# --- a fresh work folder --------------------------------------------------------------------------
cp "$root/samples/points.xyz" "$work/"
input=$(winpath "$work/points.xyz")
say "input $work/points.xyz ($(wc -l <"$work/points.xyz") points)"

# --- the run ---------------------------------------------------------------------------------------
report_output() {
  local grid
  grid=$(ls "$work"/TMP*.csv 2>/dev/null | head -1)
  [ -n "$grid" ] || die "gridfold wrote no TMPn.csv in $work"
  say "grid file $grid ($(winpath "$grid"))"
}

# The programs' streams go to a log: plotvane and Wine's desktop process inherit them and would
# keep a terminal pipe (| tee, say) open for as long as plotvane is.
if [ "$headless" = 0 ]; then
  say "running: $loader $gridfold $input"
  (cd "$demo" && "$loader" "$gridfold" "$input" </dev/null >"$demo/gridfold.log" 2>&1)
  status=$?
  say "gridfold ended with status $status"
  [ "$status" = 0 ] || die "gridfold failed (see $demo/gridfold.log)"
  report_output
  say "plotvane shows the surface on $DISPLAY; アプリ終了 closes it"
  exit 0
fi

say "running: $loader $gridfold $input"
(cd "$demo" && timeout 60 "$loader" "$gridfold" "$input" </dev/null >"$demo/gridfold.log" 2>&1
  echo $? >"$demo/gridfold.status") &
gridfold_job=$!
# pv_gui_watch finds plotvane's dialog, saves the screenshot, then quits plotvane.
rm -f "$shot"
timeout 120 "$WINE_ENV_WINE64" "$root/build/win64/bin/pv_gui_watch.exe" "$(winpath "$shot")" </dev/null \
  >"$demo/watch.out" 2>&1
watch_status=$?
tr -d '\r' <"$demo/watch.out" >"$demo/watch.txt"
wait "$gridfold_job"
if [ "$watch_status" != 0 ]; then
  sed 's/^/    /' "$demo/watch.txt"
  wine_env_stop
  die "plotvane did not come up as expected"
fi
status=$(cat "$demo/gridfold.status" 2>/dev/null)
say "gridfold ended with status $status"
[ "$status" = 0 ] || die "gridfold failed (see $demo/gridfold.log)"
report_output
say "plotvane started from $(sed -n 's/^image //p' "$demo/watch.txt"); status bar: $(sed -n 's/^status //p' "$demo/watch.txt")"
[ -s "$shot" ] || die "no screenshot"
say "screenshot $shot ($(identify -format '%wx%h' "$shot" 2>/dev/null))"
say "plotvane closed with $(sed -n 's/^exit //p' "$demo/watch.txt")"
wine_env_stop
