#!/usr/bin/env bash
# Configures and builds. Usage: scripts/build.sh [release|sanitize]  (default: release)
# Prints the build folder on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."

flavour="${1:-release}"
case "$flavour" in
  release)  dir=build;          flags=() ;;
  sanitize) dir=build-sanitize; flags=(-DRUVOVAV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
  *) echo "usage: $0 [release|sanitize]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" "${flags[@]}" > /dev/null
cmake --build "$dir" -j "$(nproc)" > "$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log" >&2; exit 1; }
echo "$dir"
