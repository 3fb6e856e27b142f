#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds the release and the sanitizer
# configurations and runs every test in both, runs the threaded flow's tests under
# ThreadSanitizer, and runs each fuzzer briefly. Fails when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

for flavour in release sanitize; do
  echo "== $flavour build"
  dir="$(scripts/build.sh "$flavour" | tail -n 1)"
  echo "== $flavour tests"
  (cd "$dir" && ctest --output-on-failure -j "$(nproc)")
done

# The flow, the editor adapters' GL thread and the tool's decoder and encoder run threads of
# their own; the GL tests would drive an uninstrumented Mesa.
echo "== thread-sanitizer build (flow, editor adapters, decoder, encoder)"
dir="$(scripts/build.sh tsan optical_flow_test flow_threads_test editor_core_test \
  encode_queue_test frame_decoder_test | tail -n 1)"
echo "== thread-sanitizer tests (flow, editor adapters, decoder, encoder)"
(cd "$dir" && TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  ctest --output-on-failure -j "$(nproc)" -L 'flow|threads')

# A short run of every fuzzer of the tool's input handling; long runs: scripts/fuzz.sh 600.
echo "== fuzzers (15 s each)"
scripts/fuzz.sh 15
