#!/usr/bin/env bash
# Builds the fuzzers of the tool's input handling (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs each for a while, starting from a corpus
# this script seeds with a few valid inputs. Fails when a fuzzer crashes, leaks, hangs or runs
# out of memory, and prints the input that did it.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# Corpora grow under build-fuzz/fuzz/corpus and are reused by later runs; crashes are kept in
# build-fuzz/fuzz/crashes. Replay one with: build-fuzz/fuzz/<target> <crash file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh fuzz

dir=build-fuzz
work="$dir/fuzz"
mkdir -p "$dir"
werror=OFF
case "${RUVOVAV_WERROR:-}" in 1 | ON | on | On) werror=ON ;; esac

echo "== fuzz build"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DRUVOVAV_FUZZ=ON -DRUVOVAV_TESTS=OFF \
  -DRUVOVAV_BENCHMARKS=OFF -DRUVOVAV_WERROR="$werror" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  > "$dir/configure.log" 2>&1 || { tail -n 30 "$dir/configure.log" >&2; exit 1; }
cmake --build "$dir" -j "$(nproc)" --target fuzzers > "$dir/build.log" 2>&1 ||
  { tail -n 60 "$dir/build.log" >&2; exit 1; }

# Seeds are rewritten on every run, so that a change here reaches old build folders.
seeds="$work/seeds"
rm -rf "$seeds"
mkdir -p "$work/crashes" "$work/tmp"
scripts/fuzz_seeds.sh "$seeds"

export TMPDIR="$PWD/$work/tmp"  # the media fuzzer writes its inputs there
export ASAN_OPTIONS="detect_leaks=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0"

failed=0
run() {
  local name="$1" max_len="$2"
  shift 2
  local corpus="$work/corpus/$name" log="$work/$name.log"
  mkdir -p "$corpus"
  local before
  before="$(ls "$work/crashes" | wc -l)"
  local status=0
  "$work/${name}_fuzzer" "$corpus" "$seeds/$name" -max_total_time="$seconds" \
    -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/crashes/$name-" "$@" > "$log" 2>&1 || status=$?
  local runs crashes
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  crashes=$(($(ls "$work/crashes" | wc -l) - before))
  printf '%-14s %10s executions, %d crashes, corpus %d inputs\n' "$name" "${runs:-?}" \
    "$crashes" "$(ls "$corpus" | wc -l)"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "-- $name failed (exit $status); the end of $log:" >&2
    tail -n 40 "$log" >&2
    sed -n 's/.*Test unit written to /crash file: /p' "$log" >&2
  fi
}

echo "== fuzzing, $seconds s per target"
run value_parsers 256 -dict="$seeds/value_parsers.dict"
run profile 4096 -dict="$seeds/profile.dict"
run media_reader 65536
exit "$failed"
