#!/usr/bin/env bash
# Replays the loader's inputs twice in a checking build, the heap filled with
# 0x00 and then with 0xFF (every block malloc hands out), and fails when any
# picture differs between the two: a pixel that no decoder set was read from
# earlier memory.
#   replay_with_filled_heap.sh REPLAY_LOAD INPUT...
set -euo pipefail
replay=$1
shift
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
for byte in 0 255; do
  PIXOLUNE_FUZZ_DIGESTS=1 ASAN_OPTIONS="${ASAN_OPTIONS:-}:malloc_fill_byte=$byte:max_malloc_fill_size=2147483647" \
    "$replay" "$@" >"$work/$byte"
done
if ! diff -U1 "$work/0" "$work/255"; then
  echo "pictures that depend on what memory held before (each after its input)"
  exit 1
fi
echo "$(grep -c ' bpp, pixels ' "$work/0") pictures the same with the heap filled with 0x00 and 0xFF"
