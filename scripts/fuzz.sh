#!/usr/bin/env bash
# Runs every libFuzzer target for a fixed budget, starting from the committed seed corpus, and
# fails on any finding. Usage: scripts/fuzz.sh [--seconds N] [--merge] [target ...]
#   --seconds N  budget per target (default 60)
#   --merge      afterwards, minimise what was found into fuzz/corpus/<target> (by hand, not in CI)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
merge=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --merge) merge=1; shift ;;
    *) targets+=("$1"); shift ;;
  esac
done

mkdir -p build
if ! { cmake --preset fuzz && cmake --build --preset fuzz; } >build/fuzz-build.log 2>&1; then
  tail -n 40 build/fuzz-build.log
  echo "fuzz: the build failed (build/fuzz-build.log)"
  exit 1
fi
if [ ${#targets[@]} -eq 0 ]; then
  for exe in build/fuzz/bin/fuzz_*; do targets+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi

# Huge allocations must come back as null (the programs' memory-exhaustion path), not abort.
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for target in "${targets[@]}"; do
  exe=build/fuzz/bin/fuzz_$target
  seeds=fuzz/corpus/$target
  mkdir -p "$work/$target" "$seeds"
  log="$work/$target.log"
  if "$exe" "$work/$target" "$seeds" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=4096 \
      -timeout=20 -artifact_prefix="$work/$target-" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz $target: ${runs:-?} executions in ${seconds}s, no findings"
  else
    failed=$((failed + 1))
    echo "fuzz $target: FINDING"
    grep -E 'ERROR|runtime error|invariant|Test unit written' "$log" | head -n 20
    mkdir -p build/fuzz-findings
    cp "$work/$target"-* build/fuzz-findings/ 2>/dev/null || true
  fi
  if [ "$merge" = 1 ]; then
    "$exe" -merge=1 "$seeds" "$work/$target" -max_len=8192 >/dev/null 2>&1 || true
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz: $failed target(s) with findings; inputs kept in build/fuzz-findings/"
  exit 1
fi
