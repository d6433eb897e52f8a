#!/usr/bin/env bash
# Every DXF document the batch tool writes for the samples, a 1000 x 1000 grid, the edge cases
# and the hostile corpus, opened by ezdxf, GDAL's ogrinfo and LibreCAD and checked against the
# point table; gridfold's grid files read back by the viewer's reader and Python's csv module.
# PV_UPDATE_DOCS=1 also writes LibreCAD's renderings of the surface sample to docs/.
set -euo pipefail
cd "$(dirname "$0")/../.."

bash scripts/install-deps.sh --interop
cli=build/native/bin/plotvane-cli
if [[ ! -x "$cli" ]]; then
  cmake --preset native >/dev/null
  cmake --build build/native --target plotvane-cli
fi
docs=()
[[ "${PV_UPDATE_DOCS:-}" == 1 ]] && docs=(--docs "$PWD/docs")
rm -rf build/interop
# One X server for every LibreCAD run; python3 from Debian, where ezdxf is installed.
exec xvfb-run -a -s "-screen 0 1024x768x24" \
  /usr/bin/python3 tests/interop/check_readers.py --cli "$cli" --work build/interop "${docs[@]}"
