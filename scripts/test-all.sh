#!/usr/bin/env bash
# Installs what is missing, configures and builds every preset, and runs every test:
# the unit tests natively, under 64-bit and 32-bit Wine and with the sanitizers, then each executable in
# scripts/test.d/ in name order. Re-running reuses the build folders.
#
# Every step runs even after a failure, so one run shows all of them. A step that cannot run here
# (no Wine, a 32-bit loader that starts nothing, no display: a stage says so by writing the reason
# to the file $PV_NOT_RUN_FILE and exiting with 77) is not counted as a failure of the code: the
# summary names it and why, in one line. Missing is not passing all the same: the exit status is
# non-zero when any step failed or could not run. Logs: build/test-logs/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

logs="$root/build/test-logs"
mkdir -p "$logs"
failed_steps=()
summary=()
not_run=()
passed_total=0
failed_total=0
declare -A built

# step NAME COMMAND...: runs and times one step; records a failure, or a step that could not run
# (exit status 77, its reason written to $PV_NOT_RUN_FILE). Returns the step's exit status.
step() {
  local name="$1" start rc reason
  shift
  export PV_NOT_RUN_FILE="$logs/not-run"
  rm -f "$PV_NOT_RUN_FILE"
  echo
  echo "==== $name"
  start=$SECONDS
  "$@"
  rc=$?
  if ((rc == 77)); then
    reason=$(cat "$PV_NOT_RUN_FILE" 2>/dev/null)
    not_run+=("$name: ${reason:-no reason given}")
    echo "==== $name: NOT RUN in $((SECONDS - start)) s"
  else
    echo "==== $name: $( ((rc == 0)) && echo ok || echo "FAILED (exit $rc)") in $((SECONDS - start)) s"
    ((rc == 0)) || failed_steps+=("$name")
  fi
  return "$rc"
}

# Whether the preset's Windows programs start here at all: its probe through the Wine runner.
# Otherwise the reason, also in $PV_NOT_RUN_FILE, and status 77.
windows_runs() {
  local preset=$1 out
  out=$(cmake/wine-run.sh "build/$preset/bin/pv_fpu_probe.exe" 2>&1)
  (($? == 0)) && [[ "$out" == *extended=* ]] && return 0
  printf 'the %s programs do not start under Wine here: %s\n' "$preset" "$(tr -d '\r' <<<"$out" | grep -v '^ *$' | tail -1)" |
    tee "$PV_NOT_RUN_FILE"
  return 77
}

build_preset() {
  cmake --preset "$1" && cmake --build --preset "$1"
}

run_ctest() {  # keeps ctest's own summary line for the recap at the end
  local preset="$1" rc line passed failed
  if [[ "$preset" == win* ]] && ! windows_runs "$preset"; then
    summary+=("ctest $preset: not run")
    return 77
  fi
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
# A stage passes by exiting with 0; 77 says that it could not run here (see above).
export PV_SOURCE_DIR="$root"
if [[ -d scripts/test.d ]]; then
  for stage in scripts/test.d/*; do
    [[ -f "$stage" && -x "$stage" ]] || continue
    name="test.d/$(basename "$stage")"
    step "$name" "$stage"
    case $? in
      0) passed_total=$((passed_total + 1)); summary+=("$name: passed") ;;
      77) summary+=("$name: not run") ;;
      *) failed_total=$((failed_total + 1)); summary+=("$name: FAILED") ;;
    esac
  done
fi
# ---------------------------------------------------------------------------------------------

echo
echo "==== summary ($((SECONDS - start_all)) s)"
for line in "${summary[@]}"; do echo "$line"; done
for line in "${not_run[@]}"; do echo "not run: $line"; done
if ((${#failed_steps[@]})); then
  echo "failed steps: ${failed_steps[*]}"
fi
if ((${#not_run[@]})); then
  echo "tests: $passed_total passed, $failed_total failed, ${#not_run[@]} not run (what could not run has not passed)"
else
  echo "tests: $passed_total passed, $failed_total failed"
fi
((${#failed_steps[@]} == 0 && failed_total == 0 && ${#not_run[@]} == 0))
