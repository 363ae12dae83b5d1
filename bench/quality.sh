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

ROUNDS=7
BUILD=$REPO/build
RESULTS=""
CORPUS=""
while (($#)); do
  case $1 in
    -n) ROUNDS=$2; shift 2 ;;
    -b) BUILD=$2; shift 2 ;;
    -r) RESULTS=$2; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option $1" ;;
    *) CORPUS=$1; shift ;;
  esac
done
[[ $ROUNDS =~ ^[1-9][0-9]*$ ]] || die "-n takes a positive number"
BUILD=$(mkdir -p "$BUILD" && cd "$BUILD" && pwd)
RESULTS=${RESULTS:-$BUILD/bench-results}
CORPUS=${CORPUS:-$BUILD/photo-corpus}
mkdir -p "$RESULTS" "$CORPUS"
CORPUS=$(cd "$CORPUS" && pwd)

ensure_corpus "$CORPUS" mp0_3.bmp mp2.bmp mp12.bmp mp24.bmp mp50.bmp
sh "$BENCH_DIR/make_quality_pictures.sh" "$BUILD/quality-pictures" ||
  die "make_quality_pictures.sh failed"
build_targets "$BUILD" pixolune-cli quality_measure

SCRATCH=$(make_scratch)
trap 'rm -rf "$SCRATCH"' EXIT
python3 "$BENCH_DIR/quality.py" --cli "$BUILD/bin/pixolune-cli" \
  --measure "$BUILD/bin/quality_measure" --corpus "$CORPUS" \
  --pictures "$BUILD/quality-pictures" --scratch "$SCRATCH" --out "$RESULTS" --rounds "$ROUNDS"
