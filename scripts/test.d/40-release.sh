#!/usr/bin/env bash
# The release ZIP of the shipped 32-bit build, packed and checked as scripts/make-release.sh makes it
# for users; then the same sources built again in another folder must give the same ZIP, byte for
# byte, so that anyone can check that a ZIP is what the repository says.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bash scripts/make-release.sh

version=$(sed -n 's/^project(plotvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=build/release/plotvane-$version-win32.zip
again=$(mktemp -d /tmp/pv-release-again.XXXXXX)
trap 'rm -rf "$again"' EXIT
# The tracked and the new files as they are now, at another path, without the build folders.
git ls-files -z --cached --others --exclude-standard | xargs -0 -I{} cp --parents {} "$again" 2>/dev/null ||
  { echo "release: cannot copy the sources to $again" >&2; exit 1; }
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
echo
echo "==== the same sources again, in $again"
(cd "$again" && bash scripts/make-release.sh) >"$root/build/release/again.log" 2>&1 ||
  { tail -20 "$root/build/release/again.log"; echo "release: the second build failed" >&2; exit 1; }
if cmp "$zip" "$again/$zip"; then
  echo "release: built twice, the same ZIP byte for byte (sha256 $(sha256sum "$zip" | cut -d' ' -f1))"
else
  echo "release: FAIL: the same sources gave another ZIP ($again/$zip)" >&2
  python3 -c 'import sys, zipfile
a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])
for x, y in zip(a.infolist(), b.infolist()):
    if (x.filename, x.date_time, x.CRC) != (y.filename, y.date_time, y.CRC): print("   ", x.filename, x.date_time, hex(x.CRC), "|", y.filename, y.date_time, hex(y.CRC))' "$zip" "$again/$zip"
  exit 1
fi
