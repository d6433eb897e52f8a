#!/usr/bin/env bash
# Installs what is missing, configures and builds every preset, and runs every test:
# the unit tests natively, under 64-bit and 32-bit Wine and with the sanitizers, then each executable in
# scripts/test.d/ in name order. Re-running reuses the build folders.
#
# Every step runs even after a failure, so one run shows all of them; the exit status is
# non-zero when any step failed. Logs: build/test-logs/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

logs="$root/build/test-logs"
mkdir -p "$logs"
failed_steps=()
summary=()
passed_total=0
failed_total=0
declare -A built

step() {  # step NAME COMMAND...: runs and times one step, records a failure
  local name="$1" start rc
  shift
  echo
  echo "==== $name"
  start=$SECONDS
  "$@"
  rc=$?
  echo "==== $name: $( ((rc == 0)) && echo ok || echo "FAILED (exit $rc)") in $((SECONDS - start)) s"
  ((rc == 0)) || failed_steps+=("$name")
  return "$rc"
}

build_preset() {
  cmake --preset "$1" && cmake --build --preset "$1"
}

run_ctest() {  # keeps ctest's own summary line for the recap at the end
  local preset="$1" rc line passed failed
  ctest --preset "$preset" 2>&1 | tee "$logs/ctest-$preset.log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/ctest-$preset.log" | tail -1)
  if [[ -n "$line" ]]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$(( $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line") - failed ))
    passed_total=$((passed_total + passed))
    failed_total=$((failed_total + failed))
    summary+=("ctest $preset: $line")
  else
    failed_total=$((failed_total + 1))
    summary+=("ctest $preset: no test summary (exit $rc)")
  fi
  return "$rc"
}

start_all=$SECONDS
step "install dependencies" bash scripts/install-deps.sh || true

for preset in native win32 win64 sanitize; do
  if step "build $preset" build_preset "$preset"; then built[$preset]=1; fi
done

for preset in native win64 win32 sanitize; do
  if [[ -n "${built[$preset]:-}" ]]; then
    step "test $preset" run_ctest "$preset"
  else
    echo
    echo "==== test $preset: skipped, its build failed"
    failed_steps+=("test $preset (build failed)")
    failed_total=$((failed_total + 1))
    summary+=("ctest $preset: not run, the build failed")
  fi
done

# ---- Further test stages -------------------------------------------------------------------
# Every executable file in scripts/test.d/ runs here in name order (GUI checks under Wine and
# Xvfb, fuzz runs, ...), from the repository root, with the four build folders already built.
# A stage passes by exiting with 0.
export PV_SOURCE_DIR="$root"
if [[ -d scripts/test.d ]]; then
  for stage in scripts/test.d/*; do
    [[ -f "$stage" && -x "$stage" ]] || continue
    name="test.d/$(basename "$stage")"
    if step "$name" "$stage"; then
      passed_total=$((passed_total + 1))
      summary+=("$name: passed")
    else
      failed_total=$((failed_total + 1))
      summary+=("$name: FAILED")
    fi
  done
fi
# ---------------------------------------------------------------------------------------------

echo
echo "==== summary ($((SECONDS - start_all)) s)"
for line in "${summary[@]}"; do echo "$line"; done
if ((${#failed_steps[@]})); then
  echo "failed steps: ${failed_steps[*]}"
fi
echo "tests: $passed_total passed, $failed_total failed"
((${#failed_steps[@]} == 0 && failed_total == 0))
