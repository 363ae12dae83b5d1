#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: in the
# Release build, then again in a checking build (build-asan: clang with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any finding fails),
# with each fuzz target run for about a minute before its suite.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh --tests
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)"

# The checking build. Leaks are reported except those inside Qt itself.
# Thread-local storage is not searched for pointers (use_tls=0): LeakSanitizer
# 14 misreads the dynamic TLS blocks of this glibc in some processes that load
# Qt's image plug-ins (a block at address 0x380) and crashes in its scan. A
# block that only thread-local storage points to is reported as leaked, which
# makes the check stricter, not weaker; glib's own such blocks are suppressed.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:use_tls=0:print_suppressions=0
CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DPIXOLUNE_SANITIZE=ON -DPIXOLUNE_FUZZ=ON \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST
cmake --build build-asan

# Fuzzing, both targets at once. A finding stops the run; fix it, then keep
# its input in fuzz/regressions/<target>/ so that every build replays it.
# Leaks are left to the suite below (it replays the corpus with leak checks):
# LeakSanitizer's own tracer now and then crashes at the end of a long fuzz
# process, which would fail a run that found nothing.
seconds=${PIXOLUNE_FUZZ_SECONDS:-60}
findings=build-asan/fuzz-findings
# The reduce target's scratch files, in memory; a process that libFuzzer ends
# (a finding, a time-out) cannot clear its own.
scratchRoot=/dev/shm; [ -d "$scratchRoot" ] && [ -w "$scratchRoot" ] || scratchRoot=${TMPDIR:-/tmp}
export PIXOLUNE_FUZZ_SCRATCH
PIXOLUNE_FUZZ_SCRATCH=$(mktemp -d "$scratchRoot/pixolune-fuzz-run-XXXXXX")
rm -rf "$findings" && mkdir -p "$findings"
targets=(reduce cli_options)
pids=()
for target in "${targets[@]}"; do
  mkdir -p "build-asan/fuzz-corpus/$target"
  ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0 build-asan/bin/fuzz_$target -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/$target-" \
    "build-asan/fuzz-corpus/$target" "fuzz/corpus/$target" >"$findings/$target.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    echo "fuzz_$target: $(grep -E '^Done [0-9]+ runs' "$findings/$target.log")"
  else
    status=1
    tail -n 60 "$findings/$target.log"
    echo "fuzz_$target found a fault; its input: $(ls "$findings"/"$target"-* 2>/dev/null)"
  fi
done
rm -rf "$PIXOLUNE_FUZZ_SCRATCH" && unset PIXOLUNE_FUZZ_SCRATCH
[ $status -eq 0 ] || exit $status

ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
