#!/usr/bin/env bash
# Every figure of bench/README.md in one run, into one report: the dithering
# stage on one thread and on every core (run_dither.sh), then whole runs,
# batches and peak memory against the single-thread limit (against_limit.py),
# then the quality of both mappings (quality.sh); with --peers also the other
# tools (peers.sh).
#
#   bench/run_all.sh [-n ROUNDS] [-b BUILD_DIR] [-r RESULTS_DIR] [--peers]
#                    [--no-quality] [CORPUS]
#
#   CORPUS        the photo corpus (default: BUILD_DIR/photo-corpus); made with
#                 ../shared/tools/make_photo_corpus.sh when files are missing
#   -n ROUNDS     paired rounds of every whole-run comparison (default 7);
#                 bench_dither gets ROUNDS + 4 repetitions
#   -b BUILD_DIR  Release build to use and bring up to date (default: build)
#   -r DIR        where the raw results and report.md go
#                 (default: BUILD_DIR/bench-results)
#   --peers       also Pillow, ImageMagick, pngquant and cjpeg (peers.sh)
#   --no-quality  without the quality table (quality.sh, which needs
#                 butteraugli and imagemagick)
#
# About 5 minutes on 2 cores, 15 more for the quality table (20 more with
# --peers). Outputs go to /dev/shm where there is one. Run it on a quiet
# machine: the report says how much other work there was.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

COUNT=7
PEERS=0
QUALITY=1
bench_option() {
  case $1 in
    --peers) PEERS=1; TAKEN=1 ;;
    --no-quality) QUALITY=0; TAKEN=1 ;;
  esac
}
bench_options "$@"
ROUNDS=$COUNT

ensure_corpus "$CORPUS" mp0_3.bmp mp2.bmp mp12.bmp mp50.bmp
build_targets "$BUILD" pixolune-cli bench_dither
LIMITS=$(build_limits "$BUILD")
COMMIT=$(git -C "$REPO" describe --always --dirty 2>/dev/null || echo unknown)

SCRATCH=$(make_scratch)
trap 'rm -rf "$SCRATCH"' EXIT

echo "bench_dither ..." >&2
bash "$BENCH_DIR/run_dither.sh" -n $((ROUNDS + 4)) -b "$BUILD" -r "$RESULTS" "$CORPUS" >/dev/null
echo "whole runs against the limit ..." >&2
python3 "$BENCH_DIR/against_limit.py" --cli "$BUILD/bin/pixolune-cli" --limits "$LIMITS" \
  --corpus "$CORPUS" --scratch "$SCRATCH" --out "$RESULTS" --rounds "$ROUNDS" >/dev/null
if ((QUALITY)); then
  echo "quality of both mappings ..." >&2
  bash "$BENCH_DIR/quality.sh" -n "$ROUNDS" -b "$BUILD" -r "$RESULTS" "$CORPUS" >/dev/null
fi
if ((PEERS)); then
  echo "peers ..." >&2
  bash "$BENCH_DIR/peers.sh" -n "$ROUNDS" -b "$BUILD" -r "$RESULTS" "$CORPUS" >/dev/null
fi

{
  echo "# Benchmark report"
  echo
  echo "Commit $COMMIT, $(date -u '+%Y-%m-%d %H:%M UTC'), $(getconf _NPROCESSORS_ONLN) cores," \
       "$(uname -r), $(gcc --version | head -n1)."
  echo
  echo "## Dithering stage (bench_dither)"
  echo
  cat "$RESULTS/dither.md"
  echo
  echo "## Against the single-thread limit"
  echo
  cat "$RESULTS/limit.md"
  if ((QUALITY)); then
    echo
    echo "## Quality of the two mappings"
    echo
    cat "$RESULTS/quality.md"
  fi
  if ((PEERS)); then
    echo
    echo "## Other tools"
    echo
    cat "$RESULTS/peers.md"
  fi
} | tee "$RESULTS/report.md"
