# Shared by the bench scripts (sourced): where things are, building the
# benchmark targets and the yardstick, the corpus, and timing one command.
# Needs bash, gcc and python3 (standard library only, any version from 3.9).
# Nothing outside the repository is used but ../shared/ beside it (or the
# folder PIXOLUNE_SHARED names, for a checkout kept elsewhere).

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$BENCH_DIR/.." && pwd)
SHARED=${PIXOLUNE_SHARED:-$REPO/../shared}
MAKE_CORPUS=$SHARED/tools/make_photo_corpus.sh
LIMIT_SOURCE=$SHARED/bench/limit_pipeline.c

die() { echo "${0##*/}: $*" >&2; exit 1; }

# bench_options "$@": the options every bench script takes. -n N into COUNT
# (set it to the script's default first), -b BUILD_DIR into BUILD, -r DIR into
# RESULTS, the argument into CORPUS; -h prints the script's head comment. A
# script with options of its own defines bench_option, which sees the
# arguments left and sets TAKEN to how many of them it used (0: not its
# option). Then BUILD (default: build) is made and absolute, RESULTS
# defaults to BUILD/bench-results and CORPUS to BUILD/photo-corpus, both made.
bench_options() {
  BUILD=$REPO/build RESULTS="" CORPUS=""
  while (($#)); do
    case $1 in
      -n|-b|-r) (($# >= 2)) || die "$1 needs a value" ;;&
      -n) COUNT=$2; shift 2 ;;
      -b) BUILD=$2; shift 2 ;;
      -r) RESULTS=$2; shift 2 ;;
      -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
      *)
        TAKEN=0
        if declare -F bench_option >/dev/null; then bench_option "$@"; fi
        if ((TAKEN)); then shift "$TAKEN"
        elif [[ $1 == -* ]]; then die "unknown option $1"
        else CORPUS=$1; shift
        fi ;;
    esac
  done
  [[ $COUNT =~ ^[1-9][0-9]*$ ]] || die "-n takes a positive number"
  BUILD=$(mkdir -p "$BUILD" && cd "$BUILD" && pwd)
  RESULTS=${RESULTS:-$BUILD/bench-results}
  CORPUS=${CORPUS:-$BUILD/photo-corpus}
  mkdir -p "$RESULTS" "$CORPUS"
  CORPUS=$(cd "$CORPUS" && pwd)
}

# build_targets BUILD_DIR TARGET...: configures a Release build when needed and
# brings the targets up to date.
build_targets() {
  local build=$1; shift
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$REPO" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null ||
      die "cannot configure $build"
  fi
  cmake --build "$build" --target "$@" -j2 >/dev/null || die "cannot build $* in $build"
}

# build_limits BUILD_DIR: the single-thread limit, built as its README says
# (gcc -O2, nothing else), into BUILD_DIR/bench-tools/limits; prints its path.
build_limits() {
  local tools=$1/bench-tools
  [ -f "$LIMIT_SOURCE" ] || die "$LIMIT_SOURCE is missing"
  mkdir -p "$tools"
  if [ ! -x "$tools/limits" ] || [ "$LIMIT_SOURCE" -nt "$tools/limits" ]; then
    gcc -O2 -o "$tools/limits" "$LIMIT_SOURCE" || die "cannot build $LIMIT_SOURCE"
  fi
  echo "$tools/limits"
}

# ensure_corpus DIR FILE...: makes the corpus with make_photo_corpus.sh when a
# file is missing. The scripts' default DIR is BUILD_DIR/photo-corpus.
ensure_corpus() {
  local dir=$1 f missing=0; shift
  for f in "$@"; do [ -f "$dir/$f" ] || missing=1; done
  [ "$missing" = 0 ] && return 0
  [ -x "$MAKE_CORPUS" ] || [ -f "$MAKE_CORPUS" ] ||
    die "the corpus $dir lacks files and $MAKE_CORPUS is not there to make it"
  echo "making the photo corpus in $dir (takes a few minutes)" >&2
  sh "$MAKE_CORPUS" "$dir" >&2 || die "make_photo_corpus.sh failed"
}

# bmp_pixels FILE: width x height of a BMP (from its information header).
bmp_pixels() {
  local w h
  read -r w h < <(od -An -t d4 -j 18 -N 8 "$1")
  echo $(( w * (h < 0 ? -h : h) ))
}

# A scratch folder in memory where there is one, so that writing the outputs
# does not wait for the disk.
make_scratch() {
  local base=${TMPDIR:-/tmp}
  [ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
  mktemp -d "$base/pixolune-bench.XXXXXX"
}

# timed TSV SIZE RUN NAME COMMAND...: runs COMMAND once and appends
# "size name run wall_microseconds maxRSS_KiB" to TSV (bench/timed_run.py:
# monotonic clock around the whole process, start-up included; peak memory as
# GNU time -v reports it). Its output is left in $SCRATCH/out.txt. Stops the
# script when the command fails.
timed() {
  local tsv=$1 size=$2 run=$3 name=$4; shift 4
  if ! "$TIMER_PY" "$BENCH_DIR/timed_run.py" "$tsv" "$size" "$run" "$name" \
       "$SCRATCH/out.txt" "$SCRATCH/err.txt" "$@"; then
    cat "$SCRATCH/err.txt" >&2
    die "failed ($name, $size): $*"
  fi
}
TIMER_PY=$(command -v python3 || echo /usr/bin/python3)

# A python3 that has Pillow: Debian's (python3-pil) first, then whatever is on PATH.
find_pillow_python() {
  local py
  for py in /usr/bin/python3 "$(command -v python3 || true)"; do
    [ -n "$py" ] && [ -x "$py" ] && "$py" -c 'import PIL' 2>/dev/null && { echo "$py"; return 0; }
  done
  return 1
}
