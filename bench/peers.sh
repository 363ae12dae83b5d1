#!/usr/bin/env bash
# pixolune-cli against other tools that make 256-colour images, on real
# photographs, all in one interleaved run, with the single-thread limit
# (../shared/bench/limit_pipeline.c) beside them; plus SaveJPG against cjpeg.
# Prints ratio tables (bench/ratios.py) and keeps the raw times.
#
#   bench/peers.sh [-n RUNS] [-b BUILD_DIR] [-s "0.3 2 12 50"] [-r RESULTS_DIR]
#                  [--all-cores] [CORPUS]
#
#   CORPUS        the photo corpus (default: BUILD_DIR/photo-corpus); made
#                 with make_photo_corpus.sh when files are missing
#   -n RUNS       runs of every command (default 5); the median counts
#   -b BUILD_DIR  Release build to use and bring up to date (default: build)
#   -s SIZES      megapixel sizes of the corpus to run (default "0.3 2 12 50")
#   -r DIR        where peers.tsv, pixels.tsv and peers.md go
#                 (default: BUILD_DIR/bench-results)
#   --all-cores   let ImageMagick and pngquant use every core (OpenMP); by
#                 default they get one thread, as pixolune-cli -j 1 has
#
# Every round runs each command once, the starting command rotating from round
# to round, so that every tool sees the same moments of a shared machine.
# Needs python3-pil, imagemagick, pngquant and libjpeg-turbo-progs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

COUNT=5
SIZES="0.3 2 12 50"
ONE_THREAD=1
bench_option() {
  case $1 in
    -s) (($# >= 2)) || die "-s needs a value"; SIZES=$2; TAKEN=2 ;;
    --all-cores) ONE_THREAD=0; TAKEN=1 ;;
  esac
}
bench_options "$@"
RUNS=$COUNT

# mp0_3.bmp is the 0.3-MP photograph.
corpus_name() { echo "mp${1/./_}"; }

wanted=()
for s in $SIZES; do wanted+=("$(corpus_name "$s").bmp" "$(corpus_name "$s").png"); done
ensure_corpus "$CORPUS" "${wanted[@]}" mp2.bmp mp12.bmp

build_targets "$BUILD" pixolune-cli savejpg_timer
CLI=$BUILD/bin/pixolune-cli
LIMITS=$(build_limits "$BUILD")
SAVEJPG=$BUILD/bin/savejpg_timer

PY=$(find_pillow_python) || die "no python3 with Pillow (apt-get install python3-pil)"
for tool in convert-im6.q16 pngquant cjpeg; do
  command -v "$tool" >/dev/null ||
    die "$tool is missing (apt-get install imagemagick pngquant libjpeg-turbo-progs)"
done
if ((ONE_THREAD)); then export OMP_NUM_THREADS=1 MAGICK_THREAD_LIMIT=1; fi

SCRATCH=$(make_scratch)
trap 'rm -rf "$SCRATCH"' EXIT
mkdir -p "$SCRATCH/pix" "$SCRATCH/jpg"
TIMES=$RESULTS/peers.tsv
PIXELS=$RESULTS/pixels.tsv
: >"$TIMES"
: >"$PIXELS"

# run_round TSV SIZE RUN NAME... : runs the named commands once each, starting
# at a different one every round.
run_round() {
  local tsv=$1 size=$2 run=$3; shift 3
  local names=("$@") count=$# k name
  for ((k = 0; k < count; k++)); do
    name=${names[$(( (k + run) % count ))]}
    "cmd_$name" "$tsv" "$size" "$run"
  done
}

# The competitors on the photograph in $IN (BMP) and $IN_PNG.
cmd_pix()         { timed "$@" pix "$CLI" -j 1 --quiet -o "$SCRATCH/pix" "$IN"; }
cmd_limit()       { timed "$@" limit "$LIMITS" floor "$IN" "$SCRATCH/limit.bmp"; }
cmd_pillow()      { timed "$@" pillow "$PY" -c 'import sys
from PIL import Image
Image.open(sys.argv[1]).quantize(256, method=Image.Quantize.FASTOCTREE).save(sys.argv[2])' \
                      "$IN" "$SCRATCH/pillow.bmp"; }
cmd_imagemagick() { timed "$@" imagemagick convert-im6.q16 "$IN" -colors 256 -compress None \
                      "BMP3:$SCRATCH/im.bmp"; }
cmd_pngquant()    { timed "$@" pngquant pngquant --force --output "$SCRATCH/pq.png" 256 "$IN_PNG"; }

LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
echo "corpus $CORPUS, build $BUILD, $RUNS runs, results in $RESULTS" >&2
for size in $SIZES; do
  IN=$CORPUS/$(corpus_name "$size").bmp
  IN_PNG=$CORPUS/$(corpus_name "$size").png
  printf '%s\t%s\n' "$size" "$(bmp_pixels "$IN")" >>"$PIXELS"
  echo "  $size MP" >&2
  for ((run = 1; run <= RUNS; run++)); do
    run_round "$TIMES" "$size" "$run" pix limit pillow imagemagick pngquant
  done
done

# JPEG: SaveJPG alone (timed inside savejpg_timer) against cjpeg on the very
# 8-bit BMP that pixolune-cli wrote for the 12-MP photograph.
echo "  JPEG, 12 MP" >&2
IN=$CORPUS/mp12.bmp
"$CLI" -j 1 --quiet -o "$SCRATCH/jpg" "$IN"
REDUCED=$SCRATCH/jpg/mp12-reduced.bmp
[ -f "$REDUCED" ] || die "pixolune-cli wrote no $REDUCED"
cmd_savejpg() {
  timed "$@" savejpg_process "$SAVEJPG" "$REDUCED" "$SCRATCH/jpg/save.jpg" 85
  local seconds bpp
  read -r seconds bpp _ <"$SCRATCH/out.txt"
  [ "$bpp" = 8 ] || die "savejpg_timer loaded the reduced BMP at $bpp bpp, not 8"
  printf '%s\tsavejpg\t%s\t%s\t\n' "$2" "$3" "$(awk -v s="$seconds" 'BEGIN { printf "%d", s * 1e6 }')" \
    >>"$1"
}
cmd_cjpeg()   { timed "$@" cjpeg cjpeg -quality 85 -outfile "$SCRATCH/jpg/cjpeg.jpg" "$REDUCED"; }
cmd_cli_jpg() { timed "$@" cli_jpg "$CLI" -j 1 --quiet -t jpg -q 85 -o "$SCRATCH/jpg" "$IN"; }
for ((run = 1; run <= RUNS; run++)); do
  run_round "$TIMES" jpg "$run" savejpg cjpeg cli_jpg
done

{
  echo "peers.sh: $(date -u '+%Y-%m-%d %H:%M UTC'), $RUNS runs, $(getconf _NPROCESSORS_ONLN) cores," \
       "load $LOAD_START at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end," \
       "$( ((ONE_THREAD)) && echo 'competitors on one thread' || echo 'competitors on all cores')"
  echo
  "$PY" "$BENCH_DIR/ratios.py" cli "$TIMES" "$PIXELS"
} | tee "$RESULTS/peers.md"
