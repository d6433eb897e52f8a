#!/usr/bin/env bash
# The dialog with large grids, under Wine and Xvfb: plotvane.exe opened on 1000 x 1000 and
# 2000 x 2000 grid files (process start to a dialog that answers with the grid drawn) and repainted
# (a synchronous RedrawWindow from another process), for the shipped win32 build and the win64 one.
# Beside each, in the same run, the time of drawing the same canvas operations with one GDI call
# each (bench/gui/gui_bench.cpp): the ratios hold on a noisy machine, the seconds do not. Medians of
# the runs. A benchmark, not a test: it checks nothing.
#
#   bash bench/gui_bench.sh [--runs N] [--repaints N] [--sizes "1000 2000"]
#                           [--win32 PLOTVANE.EXE] [--win64 PLOTVANE.EXE]
#
# --win32/--win64 time another plotvane.exe (an older build, say) against the same yardstick.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=../scripts/wine-env.sh
source "$root/scripts/wine-env.sh"

runs=3 repaints=3 sizes="1000 2000"
declare -A viewer
while (($#)); do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --repaints) repaints=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --win32 | --win64) viewer[${1#--}]=$(realpath "$2"); shift 2 ;;
    *) echo "gui_bench: unknown argument $1" >&2; exit 2 ;;
  esac
done

work=$root/build/gui-bench
mkdir -p "$work"
die() { echo "gui_bench: $*" >&2; wine_env_stop; exit 1; }

bash scripts/install-deps.sh --windows --gui --win32-run >"$work/install.log" 2>&1 ||
  { tail -5 "$work/install.log"; exit 1; }
for preset in win32 win64; do
  { [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset"; } >"$work/build-$preset.log" 2>&1 &&
    cmake --build --preset "$preset" --target plotvane pv_gui_bench >>"$work/build-$preset.log" 2>&1 ||
    { tail -20 "$work/build-$preset.log"; exit 1; }
done

# Survey-like grids as gridfold writes them: six decimals, about 9.5 bytes a value.
for size in $sizes; do
  grid=$work/grid-$size.csv
  [ -s "$grid" ] || python3 - "$size" "$grid" <<'EOF'
import math, sys
n, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w", newline="") as f:
    f.write("XYZ," + ",".join("%f" % (10.0 * i) for i in range(n)) + "\r\n")
    for j in range(n):
        f.write("%f," % (10.0 * j) + ",".join("%f" % (100 + 5 * math.sin(0.011 * i) * math.cos(0.017 * j)) for i in range(n)) + "\r\n")
EOF
done

wine_env_xvfb "$work" || die "$WINE_ENV_ERROR"
wine_env_locale "$work" || die "$WINE_ENV_ERROR"
wine_env_prefix "$WINE_ENV_PREFIX" "$work/wineboot.log" || die "$WINE_ENV_ERROR"
wine_env_server "$work/wineserver.log"
wine_env_undecorated N

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '%-6s %-11s %9s %9s %9s %12s %15s\n' build grid open repaint per-op open/per-op repaint/per-op
for build in win32 win64; do
  bench=$root/build/$build/bin/pv_gui_bench.exe
  exe=${viewer[$build]:-$root/build/$build/bin/plotvane.exe}
  loader=$(wine_env_loader "$bench") || die "no Wine loader runs $bench"
  for size in $sizes; do
    out=$work/$build-$size.out
    "$loader" "$bench" "$(winpath "$exe")" "$(winpath "$work/grid-$size.csv")" "$runs" "$repaints" >"$out" 2>"$work/$build-$size.err" ||
      die "$build $size x $size: $(tr -d '\r' <"$work/$build-$size.err" | tail -1)"
    open=$(sed -n 's/^open //p' "$out" | tr -d '\r' | median)
    repaint=$(sed -n 's/^repaint //p' "$out" | tr -d '\r' | median)
    perop=$(sed -n 's/^per-op //p' "$out" | tr -d '\r' | median)
    awk -v b="$build" -v g="${size}x$size" -v o="$open" -v r="$repaint" -v p="$perop" \
      'BEGIN { printf "%-6s %-11s %8.2fs %8.2fs %8.2fs %12.3f %15.3f\n", b, g, o, r, p, o / p, r / p }'
  done
done
wine_env_stop
