#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: in the
# Release build, then again in a checking build (build-asan: clang with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any finding fails),
# where the fuzz targets replay their seed corpus and every kept regression.
# The verdict depends on the code only: nothing here searches at random or
# counts wall time against a limit a loaded machine could reach. Open-ended
# fuzzing is scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
started=$SECONDS
stage() { printf '\n==> %s\n' "$*"; }

# Why each skipped test of a suite was skipped, from ctest's log.
skip_reasons() {
  awk '/: Skipped$/ { getline reason; next }
       /^\[  SKIPPED \] [^ ]+ \(/ { print "skipped " $4 ": " reason }' \
    "$1/Testing/Temporary/LastTest.log" | sort -u
}

stage "Set-up and Release build (build/)"
log=$(mktemp) && trap 'rm -f "$log"' EXIT
bash scripts/setup.sh --tests >"$log" 2>&1 || { cat "$log"; exit 1; }
grep '^installing:' "$log" || true

export QT_QPA_PLATFORM=offscreen
stage "Release suite (unit, window, command-line, package and memory-limit tests; fuzz inputs replayed)"
ctest --test-dir build --output-on-failure -j "$(nproc)" | grep -v '^ *Start '
skip_reasons build

stage "Checking build (build-asan/: clang-14, AddressSanitizer and UndefinedBehaviorSanitizer)"
bash scripts/checking_build.sh

# Leaks are reported except those inside Qt itself. Thread-local storage is
# not searched for pointers (use_tls=0): LeakSanitizer 14 misreads the
# dynamic TLS blocks of this glibc in some processes that load Qt's image
# plug-ins (a block at address 0x380) and crashes in its scan. A block that
# only thread-local storage points to is reported as leaked, which makes the
# check stricter, not weaker; glib's own such blocks are suppressed.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/sanitizers/lsan.supp:use_tls=0:print_suppressions=0
stage "Suite under the sanitizers, every fuzz corpus and kept regression replayed"
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" | grep -v '^ *Start '
skip_reasons build-asan

stage "All passed in $((SECONDS - started)) s"
