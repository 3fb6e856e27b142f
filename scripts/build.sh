#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [release|sanitize|tsan]  (default: release)
# sanitize: AddressSanitizer + UndefinedBehaviorSanitizer; tsan: ThreadSanitizer.
# Extra arguments name the targets to build (default: all).
# Prints the build folder on its last line.
# RUVOVAV_WERROR=1 (or ON) makes compiler warnings errors, as CI does; anything else builds
# with warnings shown but not fatal, so a newer compiler cannot break a user's build.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-release}"
shift || true
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
case "$flavour" in
  release)  dir=build;          flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  sanitize) dir=build-sanitize; flags=(-DRUVOVAV_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug) ;;
  tsan)     dir=build-tsan;     flags=(-DRUVOVAV_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  *) echo "usage: $0 [release|sanitize|tsan]" >&2; exit 2 ;;
esac

# Always passed, either way: CMake keeps an option in its cache, so a strict run would
# otherwise stay strict in that folder for every later run.
case "${RUVOVAV_WERROR:-}" in
  1|ON|on|On) flags+=(-DRUVOVAV_WERROR=ON) ;;
  *)          flags+=(-DRUVOVAV_WERROR=OFF) ;;
esac

cmake -S . -B "$dir" "${flags[@]}" > /dev/null
cmake --build "$dir" -j "$(nproc)" "${targets[@]}" > "$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log" >&2; exit 1; }
echo "$dir"
