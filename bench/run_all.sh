#!/usr/bin/env bash
# Every figure of bench/README.md in one run: bench_dither (run_dither.sh),
# then the whole-run comparisons (compare_cli.sh), into one results folder.
#
#   bench/run_all.sh [-n RUNS] [-b BUILD_DIR] [-r RESULTS_DIR] [CORPUS]
#
# RUNS (default 5) is the number of runs of every command in compare_cli.sh;
# bench_dither gets RUNS + 4 repetitions. The report is RESULTS_DIR/report.md
# (default BUILD_DIR/bench-results).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

RUNS=5
BUILD=$REPO/build
RESULTS=""
CORPUS=$REPO/../photo-corpus
while (($#)); do
  case $1 in
    -n) RUNS=$2; shift 2 ;;
    -b) BUILD=$2; shift 2 ;;
    -r) RESULTS=$2; shift 2 ;;
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) die "unknown option $1" ;;
    *) CORPUS=$1; shift ;;
  esac
done
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || die "-n takes a positive number"
BUILD=$(mkdir -p "$BUILD" && cd "$BUILD" && pwd)
RESULTS=${RESULTS:-$BUILD/bench-results}
mkdir -p "$RESULTS"

bash "$BENCH_DIR/run_dither.sh" -n $((RUNS + 4)) -b "$BUILD" -r "$RESULTS" "$CORPUS" >/dev/null
bash "$BENCH_DIR/compare_cli.sh" -n "$RUNS" -b "$BUILD" -r "$RESULTS" "$CORPUS" >/dev/null
{
  echo "## bench_dither"
  echo
  cat "$RESULTS/dither.md"
  echo
  echo "## Whole runs"
  echo
  cat "$RESULTS/summary.md"
} | tee "$RESULTS/report.md"
