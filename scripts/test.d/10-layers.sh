#!/usr/bin/env bash
# Every #include keeps to its layer (scripts/check-layers.py says which layer may use which).
set -euo pipefail
cd "$(dirname "$0")/../.."
exec python3 scripts/check-layers.py
