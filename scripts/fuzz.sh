#!/usr/bin/env bash
# Open-ended fuzzing: every libFuzzer target of fuzz/ side by side, each for
# SECONDS (default 300), in the checking build (built first when needed).
#
#   bash scripts/fuzz.sh [SECONDS]
#
# What a target learns grows build-asan/fuzz-corpus/<target>/. A finding (a
# crash, a sanitizer report, a leak, an input over the time or memory limit)
# is written to build-asan/fuzz-findings/<target>-<kind>-<hash> and fails the
# run. Fix it, then keep the input in fuzz/regressions/<folder>/ (the folder
# the script names): every test run replays it from then on.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-300}
bash scripts/checking_build.sh

targets=(reduce load cli_options)
corpus=(reduce reduce cli_options)  # seed and regression folder of each target
findings=build-asan/fuzz-findings
rm -rf "$findings" && mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:use_tls=0:print_suppressions=0
# The reduce target's output files, in memory; a process that libFuzzer ends
# (a finding) cannot clear its own.
scratchRoot=/dev/shm; [ -d "$scratchRoot" ] && [ -w "$scratchRoot" ] || scratchRoot=${TMPDIR:-/tmp}
export PIXOLUNE_FUZZ_SCRATCH
PIXOLUNE_FUZZ_SCRATCH=$(mktemp -d "$scratchRoot/pixolune-fuzz-run-XXXXXX")
trap 'rm -rf "$PIXOLUNE_FUZZ_SCRATCH"' EXIT

echo "fuzzing ${targets[*]} side by side for $seconds s each"
pids=()
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  seeds=(fuzz/corpus/"${corpus[$i]}")
  [ -d "fuzz/regressions/${corpus[$i]}" ] && seeds+=("fuzz/regressions/${corpus[$i]}")
  mkdir -p "build-asan/fuzz-corpus/$target"
  # Time-outs of tens of seconds: what takes that long is a finding, never
  # the load of a busy machine.
  build-asan/bin/fuzz_"$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    "build-asan/fuzz-corpus/$target" "${seeds[@]}" >"$findings/$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$findings/$target.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$findings/$target.log")
    echo "fuzz_$target: $runs inputs, $rate a second, no finding"
  else
    status=1
    tail -n 60 "$findings/$target.log"
    echo "fuzz_$target found a fault; its input: $(ls "$findings"/"$target"-* 2>/dev/null)"
    echo "fix it, then keep the input in fuzz/regressions/${corpus[$i]}/"
  fi
done
exit $status
