#!/usr/bin/env bash
# A short run of every fuzz target from the committed seed corpus; any finding fails the stage.
# Longer runs by hand: scripts/fuzz.sh --seconds 600 --merge
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh --fuzz >/dev/null
exec bash scripts/fuzz.sh --seconds "${PV_FUZZ_SECONDS:-45}"
