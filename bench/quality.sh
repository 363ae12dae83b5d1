#!/usr/bin/env bash
# The quality table: PSNR over RGB, SSIM on luma and butteraugli of both
# mappings (exact, fine) over the photo corpus, eight more photographs and an
# artwork, and a picture of 226 colours; then whole runs at 12 MP, paired:
# fine against exact, and the cost of measuring the PSNR (bench/quality.py).
#
#   bench/quality.sh [-n ROUNDS] [-b BUILD_DIR] [-r RESULTS_DIR] [CORPUS]
#
#   CORPUS        the photo corpus (default: BUILD_DIR/photo-corpus); made with
#                 make_photo_corpus.sh when files are missing
#   -n ROUNDS     paired rounds of the whole runs (default 7)
#   -b BUILD_DIR  Release build to use and bring up to date (default: build)
#   -r DIR        where quality.md and quality.tsv go (default: BUILD_DIR/bench-results)
#
# The other pictures are made once into BUILD_DIR/quality-pictures
# (bench/make_quality_pictures.sh). Needs butteraugli and imagemagick
# (apt-get install butteraugli imagemagick). About 15 minutes on 2 cores,
# nearly all of it butteraugli's.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

COUNT=7
bench_options "$@"
ROUNDS=$COUNT

ensure_corpus "$CORPUS" mp0_3.bmp mp2.bmp mp12.bmp mp24.bmp mp50.bmp
sh "$BENCH_DIR/make_quality_pictures.sh" "$BUILD/quality-pictures" ||
  die "make_quality_pictures.sh failed"
build_targets "$BUILD" pixolune-cli quality_measure

SCRATCH=$(make_scratch)
trap 'rm -rf "$SCRATCH"' EXIT
python3 "$BENCH_DIR/quality.py" --cli "$BUILD/bin/pixolune-cli" \
  --measure "$BUILD/bin/quality_measure" --corpus "$CORPUS" \
  --pictures "$BUILD/quality-pictures" --scratch "$SCRATCH" --out "$RESULTS" --rounds "$ROUNDS"
