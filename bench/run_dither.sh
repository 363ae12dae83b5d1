#!/usr/bin/env bash
# bench_dither and bench_load on the 2-, 12- and 50-MP photographs, on one
# thread and on every core, repetitions interleaved at random, then their
# tables (bench/ratios.py).
#
#   bench/run_dither.sh [-n REPETITIONS] [-b BUILD_DIR] [-r RESULTS_DIR] [CORPUS]
#
#   CORPUS        the photo corpus (default: BUILD_DIR/photo-corpus); made with
#                 make_photo_corpus.sh when files are missing
#   -n            repetitions of every benchmark (default 9); medians count
#   -b BUILD_DIR  Release build to use and bring up to date (default: build)
#   -r DIR        where dither.json and dither.md go (default: BUILD_DIR/bench-results)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

COUNT=9
bench_options "$@"
REPS=$COUNT

ensure_corpus "$CORPUS" mp2.bmp mp12.bmp mp50.bmp
LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
build_targets "$BUILD" bench_dither bench_load

"$BUILD/bin/bench_dither" --corpus="$CORPUS" \
  --benchmark_repetitions="$REPS" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.3 \
  --benchmark_out="$RESULTS/dither.json" --benchmark_out_format=json >&2
"$BUILD/bin/bench_load" --corpus="$CORPUS" \
  --benchmark_repetitions="$REPS" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.3 \
  --benchmark_out="$RESULTS/load.json" --benchmark_out_format=json >&2

PY=$(command -v python3) || die "python3 is needed for the ratio table"
{
  echo "run_dither.sh: $(date -u '+%Y-%m-%d %H:%M UTC'), $REPS repetitions, $(getconf _NPROCESSORS_ONLN) cores," \
       "load $LOAD_START at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end"
  echo
  "$PY" "$BENCH_DIR/ratios.py" dither "$RESULTS/dither.json"
  echo
  "$PY" "$BENCH_DIR/ratios.py" load "$RESULTS/load.json"
} | tee "$RESULTS/dither.md"
