#!/usr/bin/env bash
# The release ZIP of the shipped 32-bit build, packed and checked as scripts/make-release.sh
# makes it for users.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec bash scripts/make-release.sh
