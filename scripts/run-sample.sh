#!/usr/bin/env bash
# The main job on the bundled samples: the shipped gridfold.exe turns samples/points.xyz into a grid
# file under Wine and starts the shipped plotvane.exe on it, both from the release ZIP
# (scripts/run-gridfold-demo.sh: on your desktop when $DISPLAY answers, else a screenshot in
# build/demo/plotvane.png; the win64 build where 32-bit programs would only run emulated); before
# that the native batch tool converts the grid sample to a DXF drawing, as plotvane's save would.
#
#   scripts/run-sample.sh [GRID.csv]     default: samples/surface.csv
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh --base
cmake --preset native >/dev/null
cmake --build --preset native --target plotvane-cli

input="${1:-samples/surface.csv}"
out_dir="$root/build/samples"
mkdir -p "$out_dir"
name=$(basename "$input")
output="$out_dir/${name%.*}.dxf"
build/native/bin/plotvane-cli dxf "$input" "$output"
echo "run-sample: $input -> $output ($(wc -c <"$output") bytes)"

exec bash scripts/run-gridfold-demo.sh
