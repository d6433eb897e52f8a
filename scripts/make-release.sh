#!/usr/bin/env bash
# The release in one command: installs what is missing, builds the shipped 32-bit programs (win32
# preset), packs build/release/plotvane-VERSION-win32.zip with CPack and checks it with
# scripts/check-release.py. Prints the ZIP's path, size and contents; exits non-zero when a step
# or a check fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh --windows
cmake --preset win32
cmake --build --preset win32

version=$(sed -n 's/^project(plotvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n "$version" ]] || { echo "make-release: no version in CMakeLists.txt" >&2; exit 1; }
out="$root/build/release"
zip="$out/plotvane-$version-win32.zip"
# A ZIP left from an earlier run must not pass for this one.
rm -rf "$zip" "$out/_CPack_Packages"
mkdir -p "$out"
(cd build/win32 && cpack -G ZIP -B "$out")
rm -rf "$out/_CPack_Packages"
[[ -f "$zip" ]] || { echo "make-release: cpack wrote no $zip" >&2; exit 1; }

echo
echo "release: $zip"
echo "size: $(stat -c %s "$zip") bytes"
python3 -m zipfile -l "$zip"
echo
/usr/bin/python3 scripts/check-release.py "$zip"
