#!/usr/bin/env bash
# Configures and builds the checking build into ./build-asan: clang-14 with
# AddressSanitizer and UndefinedBehaviorSanitizer (any finding ends the
# process) and the libFuzzer targets. Used by test.sh and fuzz.sh; the tools
# come from `scripts/setup.sh --tests`. Prints nothing but a failure.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
log=$(mktemp) && trap 'rm -f "$log"' EXIT
if ! { CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DPIXOLUNE_SANITIZE=ON -DPIXOLUNE_FUZZ=ON \
         -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST &&
       cmake --build build-asan; } >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
