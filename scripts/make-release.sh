#!/usr/bin/env bash
# The release in one command: installs what is missing, builds the shipped 32-bit programs (win32
# preset), packs build/release/plotvane-VERSION-win32.zip and checks it with
# scripts/check-release.py. Prints the ZIP's path, size and contents; exits non-zero when a step
# or a check fails.
#
# The same commit gives the same ZIP, byte for byte, whenever and wherever it is built: the time
# of the commit (SOURCE_DATE_EPOCH, taken from git unless the caller sets it) is the programs' PE
# time stamp and every entry's time; the entries come in a fixed order with fixed attributes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh --windows
cmake --preset win32
cmake --build --preset win32 --target plotvane gridfold plotvane-cli pv_package_texts

version=$(sed -n 's/^project(plotvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n "$version" ]] || { echo "make-release: no version in CMakeLists.txt" >&2; exit 1; }
if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "make-release: not a git checkout: set SOURCE_DATE_EPOCH to the commit's time" >&2; exit 1; }
fi
# strip writes it into the programs' PE headers as their time stamp.
export SOURCE_DATE_EPOCH
top=plotvane-$version-win32
out="$root/build/release"
zip="$out/$top.zip"
# A ZIP left from an earlier run must not pass for this one.
rm -rf "$zip" "$out/stage"
mkdir -p "$out"
cmake --install build/win32 --component release --prefix "$out/stage/$top" --strip >/dev/null
/usr/bin/python3 - "$out/stage" "$zip" "$SOURCE_DATE_EPOCH" <<'EOF'
import os, sys, time, zipfile
stage, target, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
# ZIP times are local times without a zone, and start in 1980.
when = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
names = sorted(os.path.relpath(os.path.join(folder, name), stage).replace(os.sep, "/")
               for folder, _, files in os.walk(stage) for name in files)
with zipfile.ZipFile(target, "w") as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, when)
        entry.create_system = 0        # MS-DOS attributes, as Windows' own ZIP folders write them
        entry.external_attr = 0x20     # archive
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, name), "rb") as f:
            archive.writestr(entry, f.read(), compresslevel=9)
EOF
rm -rf "$out/stage"
[[ -f "$zip" ]] || { echo "make-release: no $zip was written" >&2; exit 1; }

echo
echo "release: $zip"
echo "size: $(stat -c %s "$zip") bytes, sha256 $(sha256sum "$zip" | cut -d' ' -f1)"
python3 -m zipfile -l "$zip"
echo
/usr/bin/python3 scripts/check-release.py "$zip"
