#!/usr/bin/env bash
# Builds the native batch tool and converts the bundled grid sample to a DXF drawing.
#
#   scripts/run-sample.sh [INPUT.csv]     default: samples/surface.csv
#
# The drawing is written to build/samples/<name>.dxf.
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
